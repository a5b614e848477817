// Helpers of the PDF tests: poppler's command-line tools, the words they find
// on a page, and start-up on a template database with one unit's application.
#pragma once

#include "startup/mainbas.h"
#include "support/fixture_db.h"

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace pdftest {

// Standard output of a poppler tool, as it is; a tool that fails fails the test.
inline QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed (poppler-utils installed?): "
                      << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A word of pdftotext -bbox: its text and its box in points.
struct Word {
    QString text;
    QRectF box;
};

// The words of one page (1-based), or of every page when `page` is 0.
inline std::vector<Word> Words(const QString& pdf, int page = 0) {
    QStringList arguments{"-bbox", "-enc", "UTF-8", pdf, "-"};
    if (page > 0)
        arguments =
            QStringList{"-f", QString::number(page), "-l", QString::number(page)} + arguments;
    const QString html = RunTool("pdftotext", arguments);
    static const QRegularExpression re("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                                       "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>");
    std::vector<Word> words;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        words.push_back(
            {m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                   QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return words;
}

// The box of the first word equal to `text`.
inline std::optional<QRectF> Find(const std::vector<Word>& words, const QString& text) {
    for (const Word& w : words)
        if (w.text == text)
            return w.box;
    return std::nullopt;
}

// Writes a template database into `dir` whose one item is a unit's application
// (region 自贡市), `extra` adding or replacing columns, and starts up on it
// with one printer.
inline void StartOnApplicationItem(const testsupport::TempDir& dir,
                                   const testsupport::Columns& extra) {
    {
        testsupport::FixtureDb db(dir.File("系统模板.mdb"));
        db.AddParameters();
        testsupport::Columns columns{{"行政审批项目名称", "甲级资质申请"},
                                     {"行政区域", 510300},
                                     {"单位个人", 1},
                                     {"单位名称", "地质勘查院"},
                                     {"法人代表", "王五"},
                                     {"单位地址", "成都市一环路"},
                                     {"联系电话", "02888888888"}};
        columns.insert(columns.end(), extra.begin(), extra.end());
        db.AddItem({.name = "甲级资质新申请", .extra = columns});
        db.AddWord(1, 510300, "自贡市");
    }
    StartupHooks hooks;
    hooks.countPrinters = [] { return 1; };
    ASSERT_TRUE(Main(dir.path(), hooks));
    SelectedItem = 0;
}

} // namespace pdftest
