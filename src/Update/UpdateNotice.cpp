#include "Update/UpdateNotice.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "KelMessageBox.h"
#include "Update/UpdateReply.h"

#include <easylogging++.h>

namespace {
// The service's links go to the browser; anything else ("file:", a program) is not opened.
void openWebLink(const QUrl &url)
{
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        QDesktopServices::openUrl(url);
    else
        LOG(WARNING) << "更新链接不是网址, 未打开: " << url.toString();
}
} // namespace

void UpdateNotice::show(QWidget *window,
                        const QByteArray &reply,
                        const std::function<bool()> &wasAsked)
{
    const auto parsed = UpdateReply::parse(reply);
    if (!parsed) {
        KelMessageBox::show(window, QStringLiteral("连接更新服务器失败！"), KelMessageBox::Red,
                            4000, KelMessageBox::Bottom, QString());
        LOG(WARNING) << "请求更新失败 Error:" << QString::fromUtf8(reply);
        return;
    }
    if (parsed->version != QCoreApplication::applicationVersion()) {
        QMessageBox question(QMessageBox::Question, QStringLiteral("有新的更新可用！"),
                             QStringLiteral("v%1\n%2").arg(parsed->version, parsed->body),
                             QMessageBox::NoButton, window);
        // One role for all three keeps them in this order on every desktop.
        QPushButton *download = question.addButton(QStringLiteral("下载"), QMessageBox::ActionRole);
        QPushButton *details =
            question.addButton(QStringLiteral("更新详情"), QMessageBox::ActionRole);
        QPushButton *cancel = question.addButton(QStringLiteral("取消"), QMessageBox::ActionRole);
        download->setObjectName(QStringLiteral("buttonDownload"));
        details->setObjectName(QStringLiteral("buttonUpdateDetails"));
        cancel->setObjectName(QStringLiteral("buttonCancelUpdate"));
        question.setDefaultButton(download);
        question.setEscapeButton(cancel);
        question.exec();
        if (question.clickedButton() == download)
            openWebLink(parsed->downloadUrl);
        else if (question.clickedButton() == details)
            openWebLink(parsed->bodyUrl);
        return;
    }
    if (wasAsked())
        KelMessageBox::show(window, QStringLiteral("已是最新版本"), QVariant(), 2000,
                            KelMessageBox::Bottom, QString());
    else
        LOG(INFO) << "已是最新版本";
}
