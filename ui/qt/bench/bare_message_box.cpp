// The baseline of the start-up benchmark: the least a Qt program does to show the box the
// program shows at start (the same title, a time text and a "确定" button), and nothing else.
#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QMessageBox box(QMessageBox::NoIcon, "Horalux", "1994年11月06日 16时49分37秒");
  box.addButton("确定", QMessageBox::AcceptRole);
  return box.exec();
}
