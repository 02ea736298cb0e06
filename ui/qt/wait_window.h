// The small window that makes a wait of over a second known: what the program waits for, a moving
// progress bar and a 取消 button (Esc, or closing the window, does the same).
#pragma once

#include <memory>
#include <string_view>

#include <QProgressDialog>

namespace horalux {

// Built but not shown. Its title, its text and its accessible name and description are all
// `waiting_text`, so that the desktop's window list and screen readers name the host too. With a
// parent it is placed over the parent; without one (at start) it is the only window.
std::unique_ptr<QProgressDialog> MakeWaitWindow(std::string_view waiting_text,
                                                QWidget* parent = nullptr);

}  // namespace horalux
