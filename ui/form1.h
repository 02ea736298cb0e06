// The program's one window: the URL box, the time box and the set-clock button, with the
// start-up message and the set-clock command as its two handlers.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QWidget>

#include "runtime/clock.h"
#include "runtime/message_box.h"
#include "runtime/text_forms.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace horalux {

// Fetches the web time of a URL as time text; raises horalux::Error when it cannot.
using WebTimeQuery = std::function<std::string(std::string_view url)>;

// The public site whose home page is asked for the time until the user types another address.
inline constexpr std::string_view kDefaultTimeServerUrl = "http://www.baidu.com/";

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // The services must outlive the window. `forms` must be the ones `query` writes its time
  // text in, so that the set-clock command can read that text back.
  Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query,
        QWidget* parent = nullptr);

  // The first show runs the load handler: the start-up time is fetched and shown before the
  // window appears.
  void setVisible(bool visible) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  void FitLabelsToText();

  void Form_Load();
  void Command1_Click();
  std::string GetWebTime();

  // Runs one handler to its end; an error that escapes it is reported and the program goes on.
  void RunHandler(const std::function<void()>& handler);

  MessageBoxService& message_box_;
  Clock& clock_;
  TextForms forms_;
  WebTimeQuery query_;
  bool loaded_ = false;

  QLabel* Label1 = nullptr;
  QLineEdit* Text2 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* Command1 = nullptr;
};

}  // namespace horalux
