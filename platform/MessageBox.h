#pragma once

#include <QString>

// Message box styles.
namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int Critical = 16;
constexpr int Exclamation = 48;
} // namespace MsgBoxStyle

// Shows a modal message box and returns when the user has closed it. An empty
// title shows the application's title, "Vormant". The box is shown by the
// services in use (Services.h): a test's record it instead.
void MsgBox(const QString &text, int style = MsgBoxStyle::OkOnly, const QString &title = {});
