#pragma once

#include <QObject>
#include <QUrl>
#include <string>
#include <vector>

namespace wv::test {

// Takes the addresses the desktop would open, in the order they come.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    std::vector<std::string> opened;
  public slots:
    void open(const QUrl& url) { opened.push_back(url.toString().toStdString()); }
};

}  // namespace wv::test
