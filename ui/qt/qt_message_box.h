// The message boxes on Qt: modal, titled "Horalux", with one "确定" button; the prompt without an
// icon, the error report with the error icon, naming the kind of error and its cause.
#pragma once

#include <memory>
#include <string_view>

#include <QMessageBox>

#include "handlers/message_box.h"
#include "runtime/base/error.h"

namespace horalux {

// The boxes themselves, built but not shown, for the service below and for pictures of them.
std::unique_ptr<QMessageBox> MakePromptBox(std::string_view prompt, QWidget* parent = nullptr);
std::unique_ptr<QMessageBox> MakeErrorReport(const Error& error, QWidget* parent = nullptr);

class QtMessageBox : public MessageBoxService {
 public:
  // With no parent the boxes block every window of the program.
  explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}

  // Makes the next prompt box ahead, its glyphs loaded and its window made for a text like
  // `sample`, so that Show only puts the text in and shows it: the start-up box is prepared
  // while its request is out.
  void PrepareBox(std::string_view sample);
  void Show(std::string_view prompt) override;
  void ReportError(const Error& error) override;

 private:
  QWidget* parent_;
  std::unique_ptr<QMessageBox> prepared_;
};

}  // namespace horalux
