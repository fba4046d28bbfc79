#pragma once

#include <QString>
#include <functional>

// Message box styles.
namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int Critical = 16;
constexpr int Exclamation = 48;
} // namespace MsgBoxStyle

// Shows a modal message box and returns when the user has closed it. An empty
// title shows the application's title, "Vormant".
void MsgBox(const QString &text, int style = MsgBoxStyle::OkOnly, const QString &title = {});

// Who shows the boxes. Tests put a recorder here, so that no test ever waits
// on a modal box; an empty function restores the real one.
using MsgBoxHandler = std::function<void(const QString &text, int style, const QString &title)>;
void SetMsgBoxHandler(MsgBoxHandler handler);
