// The program's one window on Qt: the URL box, the time box and the set-clock button, laid out
// and driven by keyboard; its start-up and its button's presses go to the shared handlers. While
// a press waits for its request, the window stays drawn and alive but takes no input.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include <QWidget>

#include "handlers/form1_handlers.h"
#include "ui/layout/form1_layout.h"

class QEventLoop;
class QLabel;
class QLineEdit;
class QPushButton;

namespace horalux {

class Form1 : public QWidget, private Form1Window {
  Q_OBJECT

 public:
  // The services must outlive the window. `forms` must be the ones `query` writes its time
  // text in, so that the set-clock command can read that text back.
  Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query,
        QWidget* parent = nullptr);

  // The window starts from a start-up query the program has already started: the address box
  // shows its URL, and the load handler takes its answer. Without one, the address box shows the
  // default site and the load handler asks it. `started` must outlive the first show.
  void StartFrom(StartedQuery& started);

  // The first show runs the load handler: the start-up time is fetched and shown before the
  // window appears. The labels are fitted to their texts then, just before it appears.
  void setVisible(bool visible) override;

  // Whether the window was closed, or a wait cancelled, while a call was out (a request, the
  // clock's), which may then still be running on a thread of its own.
  bool LeftARequestRunning() const { return left_a_request_running_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  // Label1, Text2, Label2, Text1, Command1: the order of form1_layout::kControls.
  std::array<QWidget*, form1_layout::kControls.size()> ControlsInTableOrder() const;
  // Each label grown downward as far as its wrapped text needs (form1_layout::Places).
  void FitLabelsToText();

  std::string ReadText2() const override;
  std::string ReadText1() const override;
  void WriteText1(std::string_view text) override;
  WaitEnd AwaitCall(BackgroundTask& call, LongWaitRule& rule) override;
  // Ends the wait in progress: its loop looks again at why it should go on.
  void WakeTheWait();

  Form1Handlers handlers_;
  StartedQuery* started_ = nullptr;
  bool loaded_ = false;
  // While a handler waits for a call: the loop that delivers the events, so that closing the
  // window can end the wait; and whether something of ours woke it (else the program quits).
  QEventLoop* waiting_loop_ = nullptr;
  bool woken_ = false;
  bool closed_while_waiting_ = false;
  bool cancelled_ = false;
  bool left_a_request_running_ = false;

  QLabel* Label1 = nullptr;
  QLineEdit* Text2 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* Command1 = nullptr;
};

}  // namespace horalux
