// The application form printed into a real PDF: where poppler finds its texts
// on the page, against the engine's mapping of window twips to page twips.

#include "pdf_support.h"
#include "printing/print_table.h"
#include "printing/recording_printer.h"
#include "printing/ui/XZSPTab.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"
#include "twip/ui/qt_printer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

using printing::BoxHeight;
using printing::BoxWidth;
using printing::PageX;
using printing::PageY;

using pdftest::Find;
using pdftest::Word;
using pdftest::Words;

double Points(double twips) {
    return twips / 20.0;
}

TEST(XZSPTabPdfTest, TextsStandWhereTheEngineMapsTheirControls) {
    testsupport::ScopedFakePrompter prompter;
    testsupport::TempDir dir;
    pdftest::StartOnApplicationItem(dir, {{"个人姓名", "李四"}, {"审批结果接收方式", "10000"}});

    QTemporaryDir out;
    const QString pdf = out.filePath("xzsptab.pdf");
    double lineHeight = 0; // of "中" in the text boxes' printed font
    QString printed;       // every character the form prints but blanks, in order
    {
        printing::ui::XZSPTab form;
        form.Form_Load();
        printing::RecordingPrinter recorder;
        form.usePrinter(&recorder);
        form.Command1_Click(1);
        for (const auto& t : recorder.texts)
            printed += QString::fromStdString(t.text);
        twip::ui::QtPrinter printer(pdf);
        printer.setFontName("宋体");
        printer.setFontSize(10.5 * 1.143);
        lineHeight = printer.textHeight("中");
        form.usePrinter(&printer);
        form.Command1_Click(1);
    }
    ResetGlobals();
    EXPECT_TRUE(prompter->messages.empty());
    const std::vector<Word> words = Words(pdf);
    ASSERT_FALSE(words.empty());
    // Read back, the page holds exactly the printed characters: ideographs,
    // never the radicals (U+2E80–U+2FDF) some faces share their glyphs with.
    QString extracted = pdftest::RunTool("pdftotext", {"-enc", "UTF-8", pdf, "-"});
    for (QString* text : {&printed, &extracted}) {
        text->remove(QRegularExpression("\\s"));
        std::sort(text->begin(), text->end());
    }
    EXPECT_EQ(extracted, printed);
    EXPECT_FALSE(extracted.contains(QRegularExpression("[\\x{2E80}-\\x{2FDF}]")));

    // Left-aligned text boxes start 20 twips into their box and are centred
    // vertically in it.
    struct Case {
        const char* text;
        int left, top, width, height; // the control's box in window twips
        bool centred;
    };
    const Case cases[] = {
        {"地质勘查院", 1860, 2700, 3855, 270, false},   // Text2(0)
        {"成都市一环路", 1860, 3060, 6075, 270, false}, // Text2(2)
        {"02888888888", 1860, 3420, 3855, 270, false},  // Text2(3)
        {"甲级资质申请", 2310, 5580, 5625, 270, false}, // Text3
        {"王五", 6810, 2700, 1125, 270, true},          // Text2(1), centred
        {"自贡市", 2310, 6270, 3465, 330, false},       // Combo1, the name only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto box = Find(words, QString::fromUtf8(c.text));
        ASSERT_TRUE(box.has_value());
        if (c.centred)
            EXPECT_NEAR(box->center().x(), Points(PageX(c.left) + BoxWidth(c.width) / 2.0), 1.0);
        else
            EXPECT_NEAR(box->left(), Points(PageX(c.left) + 20), 1.0);
        const double top = PageY(c.top) + (BoxHeight(c.height) - lineHeight) / 2;
        EXPECT_NEAR(box->top(), Points(top), 2.0);
    }
    // Option buttons and check boxes print their mark and caption 100 twips in.
    for (const auto& [text, left, top] :
         {std::tuple{"(√)单位申请", 330, 930}, std::tuple{"[√]短信通知", 2430, 6720}}) {
        SCOPED_TRACE(text);
        const auto box = Find(words, QString::fromUtf8(text));
        ASSERT_TRUE(box.has_value());
        EXPECT_NEAR(box->left(), Points(PageX(left) + 100), 1.0);
        EXPECT_NEAR(box->top(), Points(PageY(top)), 2.0);
    }
    // The individual's group is disabled and printed empty.
    EXPECT_FALSE(Find(words, QString::fromUtf8("李四")).has_value());
}

} // namespace
