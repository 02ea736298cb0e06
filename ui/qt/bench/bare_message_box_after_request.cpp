// The baseline of the start-up benchmark: the start-up request made with nothing but libcurl, then
// Qt started, then the bare message box, one step after the other. The program has to make that
// request with libcurl before its box appears; the gap between this and the bare box is what
// libcurl alone costs, and the program gains on it by starting Qt while the request is out.
#include <curl/curl.h>

#include <QApplication>
#include <QMessageBox>

namespace {

size_t IgnoreData(char*, size_t size, size_t count, void*) { return size * count; }

// The same request as the program's: an empty POST to its default address, through http_proxy.
// Its outcome does not matter here, only that it is made.
void MakeStartUpRequest() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* easy = curl_easy_init();
  if (easy == nullptr) return;
  curl_easy_setopt(easy, CURLOPT_URL, "http://www.baidu.com/");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "");
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, IgnoreData);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, IgnoreData);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
}

}  // namespace

int main(int argc, char** argv) {
  MakeStartUpRequest();
  QApplication application(argc, argv);
  QMessageBox box(QMessageBox::NoIcon, "Horalux", "1994年11月06日 16时49分37秒");
  box.addButton("确定", QMessageBox::AcceptRole);
  const int result = box.exec();
  curl_global_cleanup();
  return result;
}
