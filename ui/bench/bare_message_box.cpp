// The baseline of the start-up benchmark: the least a Qt program does to show a message box.
#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QMessageBox box(QMessageBox::NoIcon, "Horalux", "1994/11/6 16:49:37");
  return box.exec();
}
