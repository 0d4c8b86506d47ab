// The search's matching over a catalogue of 100k generated items (names and notes mixing
// Chinese and Latin words, folded once as the index keeps them), timed per query as
// nanoseconds per item; the query's own preparation is timed apart.
//   quiver_bench_matcher [runs [query...]]
#include "BenchSupport.h"
#include "Search/Matcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <random>

namespace {
constexpr int items = 100000;

const char *const chinese[] = {
    "微信",   "中国银行", "重阳", "音乐", "播放器", "浏览器", "文件", "管理器", "设置",
    "编辑器", "视频",     "下载", "工具", "系统",   "网络",   "游戏", "办公",   "图片",
    "查看器", "计算器",   "终端", "邮件", "客户端", "输入法", "词典", "地图",   "相机",
    "日历",   "笔记",     "翻译", "长城", "行走",   "快乐",   "绿色", "西安",   "银行",
    "助手",   "安全",     "卫士", "云盘", "阅读",   "影音",   "直播", "会议",   "表格",
    "文档",   "演示",     "截图", "录屏", "压缩"};
const char *const latin[] = {
    "Visual", "Studio", "Code",    "Firefox", "Chrome",   "Office",   "Player", "Manager",
    "Tool",   "Editor", "Pro",     "Lite",    "Terminal", "Music",    "Video",  "Reader",
    "Writer", "Studio", "Git",     "Docker",  "Python",   "Steam",    "Zoom",   "Slack",
    "Notes",  "Paint",  "Calc",    "Mail",    "Browser",  "Launcher", "QQ",     "WPS",
    "VLC",    "GIMP",   "Blender", "2024",    "X64",      "Setup"};

QString word(std::mt19937 &random, bool inChinese)
{
    if (inChinese)
        return QString::fromUtf8(chinese[random() % std::size(chinese)]);
    return QString::fromUtf8(latin[random() % std::size(latin)]);
}

// Chinese, Latin and mixed names of one to three words; notes of two to five.
QString text(std::mt19937 &random, int minWords, int maxWords)
{
    const int kind = int(random() % 10);
    const int words = minWords + int(random() % unsigned(maxWords - minWords + 1));
    QStringList parts;
    for (int i = 0; i < words; ++i)
        parts << word(random, kind < 4 || (kind >= 7 && random() % 2));
    // Chinese words run together, Latin ones take spaces, as names usually are.
    QString joined = parts.first();
    for (int i = 1; i < parts.size(); ++i) {
        const bool latinPair =
            parts.at(i - 1).at(0).unicode() < 128 && parts.at(i).at(0).unicode() < 128;
        joined += (latinPair ? QStringLiteral(" ") : QString()) + parts.at(i);
    }
    return joined;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;

    std::mt19937 random(20261207);
    QVector<QString> names;
    QVector<QString> notes;
    for (int i = 0; i < items; ++i) {
        names << foldForSearch(text(random, 1, 3));
        notes << foldForSearch(text(random, 2, 5));
    }

    QStringList queries = app.arguments().mid(2);
    if (queries.isEmpty())
        queries = QStringList{"wx",   "weixin", "vsc",  QStringLiteral("微"), "zhongy",
                              "abc%", "s",      "zgyh", "visual studio code"};
    qint64 nameUnits = 0;
    qint64 noteUnits = 0;
    for (int i = 0; i < items; ++i) {
        nameUnits += names.at(i).size();
        noteUnits += notes.at(i).size();
    }
    std::printf("matchItem over %d items (names of %.1f, notes of %.1f UTF-16 units on average), "
                "%d runs\n",
                items, double(nameUnits) / items, double(noteUnits) / items, runs);
    for (const QString &typed : queries) {
        Sample prepare;
        Sample perItem;
        int found = 0;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            const SearchQuery query(typed);
            prepare.add(timer.nsecsElapsed() / 1000.0);
            found = 0;
            timer.start();
            for (int i = 0; i < items; ++i)
                found += matchItem(query, names.at(i), notes.at(i)) != MatchBand::None;
            perItem.add(double(timer.nsecsElapsed()) / items);
        }
        perItem.print(QStringLiteral("query \"%1\", %2 found, per item").arg(typed).arg(found),
                      "ns", 100);
        prepare.print(QStringLiteral("query \"%1\", preparing it").arg(typed), "us", 0);
    }
    return 0;
}
