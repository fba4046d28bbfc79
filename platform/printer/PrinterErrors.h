#pragma once

// The numbers of the printing failures, chosen so that a user can tell them
// apart in the "Printer Error!" box.
namespace PrinterError {
// A setting the printer cannot honour (an invalid value for it).
constexpr int SettingRefused = 380;
// The printer dialog cannot be created: no print support on this desktop.
constexpr int DialogUnavailable = 429;
// Making or sending the document failed, or the printer cannot be reached.
constexpr int PrintingFailed = 482;
// Anything else that went wrong while printing.
constexpr int Unexpected = 51;
} // namespace PrinterError
