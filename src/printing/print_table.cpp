#include "printing/print_table.h"

#include "startup/mainbas.h"

#include "platform/prompter.h"
#include "printing/print_tag.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

namespace printing {

float PageScaleX = 1.2f;
float PageScaleY = 1.65f;

namespace {

constexpr double kFontEnlargement = 1.143;
constexpr int kPageMargin = 1000;
constexpr int kTextInset = 20;
constexpr int kCaptionIndent = 100;
constexpr int kLongUnderline = 500;
constexpr int kRulingDrawWidth = 2;
const char* const kBreak = "\r\n";

// Runs one step of printing; a step that fails is skipped.
template <class Step> bool TryStep(Step&& step) {
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

template <class T, class Read> T ReadOr(Read&& read, T fallback) {
    try {
        return read();
    } catch (...) {
        return fallback;
    }
}

int Round(double value) {
    return static_cast<int>(std::lround(value));
}

// Byte length of the UTF-8 sequence that starts at text[pos].
std::size_t CharLength(const std::string& text, std::size_t pos) {
    auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 1;
    return std::min(length, text.size() - pos);
}

std::vector<std::string> SplitChars(const std::string& text) {
    std::vector<std::string> chars;
    for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        chars.push_back(text.substr(pos, CharLength(text, pos)));
    return chars;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        auto brk = text.find(kBreak, start);
        lines.push_back(text.substr(start, brk - start));
        if (brk == std::string::npos)
            return lines;
        start = brk + 2;
    }
}

void ShrinkFont(twip::Printer& target, double step) {
    double before = target.fontSize();
    target.setFontSize(before - step);
    if (!(target.fontSize() < before)) // a device that clamps sizes would loop for ever
        throw twip::PrinterError("font size cannot be lowered");
}

struct Wrapped {
    bool charTooWide = false;
    std::string text;
    int lines = 0;
};

Wrapped WrapByCharacter(twip::Printer& target, const std::string& text, double boxWidth) {
    Wrapped out;
    std::string line;
    double lineWidth = 0;
    auto endLine = [&] {
        out.text += kBreak;
        ++out.lines;
        line.clear();
        lineWidth = 0;
    };
    for (std::size_t pos = 0; pos < text.size();) {
        if (text[pos] == '\r') {
            bool crlf = pos + 1 < text.size() && text[pos + 1] == '\n';
            if (crlf)
                endLine();
            pos += crlf ? 2 : 1;
            continue;
        }
        std::string c = text.substr(pos, CharLength(text, pos));
        double w = target.textWidth(c);
        bool blank = c == " " || c == "\t";
        if (!blank && w > boxWidth) {
            out.charTooWide = true;
            return out;
        }
        // A blank wider than the box stays on a line of its own instead of
        // breaking empty lines for ever.
        if (w + lineWidth > boxWidth && !line.empty()) {
            endLine();
            continue;
        }
        line += c;
        out.text += c;
        lineWidth = target.textWidth(line);
        pos += c.size();
    }
    endLine();
    return out;
}

std::string FirstLine(const std::string& wrapped) {
    return wrapped.substr(0, wrapped.find(kBreak));
}

// --- Printing of single controls ------------------------------------------

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
};

Box ReadBox(const PrintControl& c) {
    return {c.left(), c.top(), c.width(), c.height()};
}

// Moves the edges of a control by its M codes for the time of its printing and
// puts the control back where it was, whatever happens in between.
class MarginGuard {
  public:
    MarginGuard(PrintControl& control, const PrintTag& tag) : control_(control) {
        if (!tag.hasMargins())
            return;
        TryStep([&] {
            original_ = ReadBox(control_);
            Box moved = *original_;
            moved.top += tag.moveTop;
            moved.height += tag.moveBottom - tag.moveTop;
            moved.left += tag.moveLeft;
            moved.width += tag.moveRight - tag.moveLeft;
            apply(moved);
        });
    }
    ~MarginGuard() { undo(); }
    MarginGuard(const MarginGuard&) = delete;
    MarginGuard& operator=(const MarginGuard&) = delete;

    void undo() {
        if (original_)
            apply(*original_);
        original_.reset();
    }

  private:
    void apply(const Box& box) {
        TryStep([&] { control_.setLeft(box.left); });
        TryStep([&] { control_.setTop(box.top); });
        TryStep([&] { control_.setWidth(box.width); });
        TryStep([&] { control_.setHeight(box.height); });
    }

    PrintControl& control_;
    std::optional<Box> original_;
};

PrintTag ReadTag(const PrintControl& c) {
    return ReadOr([&] { return EffectivePrintTag(c.tag(), c.visible()); }, PrintTag{});
}

void ApplyFontCodes(twip::Printer& target, const PrintControl& c, const PrintTag& tag) {
    if (tag.fontName)
        TryStep([&] { target.setFontName(*tag.fontName); });
    if (tag.fontSize)
        TryStep([&] { target.setFontSize(*tag.fontSize); });
    if (tag.toggleBold)
        TryStep([&] { target.setFontBold(!c.fontBold()); });
}

void SetControlFont(twip::Printer& target, const PrintControl& c, const std::string& name,
                    double sizeFactor, bool useBold) {
    TryStep([&] { target.setFontName(name.empty() ? c.fontName() : name); });
    TryStep([&] { target.setFontSize(c.fontSize() * sizeFactor); });
    TryStep([&] { target.setFontBold(useBold && c.fontBold()); });
}

void PrintAt(twip::Printer& target, double x, double y, const std::string& text) {
    if (text.empty())
        return;
    TryStep([&] {
        target.setCurrentX(x);
        target.setCurrentY(y);
        target.print(text);
    });
}

// Prints wrapped text line by line; centred text is centred under the first line.
void PrintLines(twip::Printer& target, double x, double y, const std::string& wrapped,
                Alignment alignment) {
    auto lines = SplitLines(wrapped);
    double lineHeight = ReadOr([&] { return target.textHeight("中"); }, 0.0);
    double firstWidth = ReadOr([&] { return target.textWidth(lines.front()); }, 0.0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        double lineX = x;
        if (i > 0 && alignment == Alignment::Centre)
            lineX += (firstWidth - ReadOr([&] { return target.textWidth(lines[i]); }, 0.0)) / 2;
        PrintAt(target, lineX, y + static_cast<double>(i) * lineHeight, lines[i]);
    }
}

// Fits the text into the control's scaled box and prints it; gives up on the
// text when it cannot be fitted.
void PrintFitted(twip::Printer& target, const PrintControl& c, std::string text,
                 Alignment alignment, VerticalAlignment vertical, bool asOneLine) {
    TryStep([&] {
        Box box = ReadBox(c);
        double xOffset = 0, yOffset = 0, fontSize = 0;
        FitText(target, BoxWidth(box.width), BoxHeight(box.height), xOffset, yOffset, text,
                alignment, vertical, fontSize);
        target.setFontSize(fontSize);
        double x = PageX(box.left) + xOffset, y = PageY(box.top) + yOffset;
        if (asOneLine) {
            std::string joined;
            for (const auto& line : SplitLines(text))
                joined += line;
            PrintAt(target, x, y, joined);
        } else {
            PrintLines(target, x, y, text, alignment);
        }
    });
}

// Distributes the characters evenly over the box width, one character cell
// being as wide as the font is high.
void PrintSpread(twip::Printer& target, const PrintControl& c, const std::string& text) {
    TryStep([&] {
        auto chars = SplitChars(RemoveBlanks(text));
        if (chars.empty())
            return;
        Box box = ReadBox(c);
        double h = target.textHeight("中");
        double n = static_cast<double>(chars.size());
        int advance = chars.size() > 1 ? Round(h + (BoxWidth(box.width) - n * h) / (n - 1)) : 0;
        int down = Round((BoxHeight(box.height) - h) / 2);
        for (std::size_t k = 0; k < chars.size(); ++k)
            PrintAt(target, PageX(box.left) + static_cast<double>(k) * advance,
                    PageY(box.top) + down, chars[k]);
    });
}

void PrintUnderline(twip::Printer& target, const PrintControl& c, int extra) {
    TryStep([&] {
        Box box = ReadBox(c);
        int y = PageY(box.top + box.height);
        target.line(PageX(box.left), y, PageX(box.left + box.width + extra), y);
    });
}

Alignment ReadAlignment(const PrintControl& c) {
    return ReadOr([&] { return c.alignment(); }, Alignment::Left);
}

void PrintTextBox(twip::Printer& target, PrintControl& c) {
    PrintTag tag = ReadTag(c);
    SetControlFont(target, c, {}, kFontEnlargement, true);
    ApplyFontCodes(target, c, tag);
    MarginGuard margins(c, tag);
    std::string raw = ReadOr([&] { return c.text(); }, std::string());
    std::string text = TrimTrailingSpaces(raw);
    if (tag.date)
        text = FormatTagDate(text);
    if (tag.hideText)
        text.clear();
    bool visible = ReadOr([&] { return c.visible(); }, true);
    if (tag.spread) {
        PrintSpread(target, c, text);
    } else if (!raw.empty() && visible) {
        bool scrolls = ReadOr([&] { return c.hasVerticalScrollBar(); }, false);
        PrintFitted(target, c, text, ReadAlignment(c),
                    scrolls ? VerticalAlignment::Top : VerticalAlignment::Middle, false);
    }
    if (tag.underline || tag.underlineLong)
        PrintUnderline(target, c, tag.underlineLong ? kLongUnderline : 0);
}

void PrintLabel(twip::Printer& target, PrintControl& c) {
    std::string caption = ReadOr([&] { return c.text(); }, std::string());
    bool visible = ReadOr([&] { return c.visible(); }, true);
    std::string rawTag = ReadOr([&] { return c.tag(); }, std::string());
    if (caption.empty() || !(visible || rawTag.find("[V]") != std::string::npos))
        return;
    PrintTag tag = ReadTag(c);
    SetControlFont(target, c, tag.hasFontCode() ? std::string() : std::string("仿宋_GB2312"),
                   kFontEnlargement, true);
    ApplyFontCodes(target, c, tag);
    {
        MarginGuard margins(c, tag);
        if (tag.spread) {
            std::string text = TrimSpaces(caption);
            PrintSpread(target, c, tag.date ? FormatTagDate(text) : text);
        } else {
            PrintFitted(target, c, tag.date ? FormatTagDate(caption) : caption, ReadAlignment(c),
                        VerticalAlignment::Middle, false);
        }
    }
    if (tag.underline)
        PrintUnderline(target, c, 0);
}

std::string ComboText(const PrintControl& c, const PrintTag& tag) {
    std::string text = ReadOr([&] { return c.text(); }, std::string());
    if (tag.nameAfterSpace) {
        auto space = text.find(' ');
        if (space != std::string::npos)
            text = text.substr(space + 1);
    }
    return TrimSpaces(text);
}

void PrintComboBox(twip::Printer& target, PrintControl& c) {
    PrintTag tag = ReadTag(c);
    SetControlFont(target, c, "宋体", 1.0, false);
    ApplyFontCodes(target, c, tag);
    std::string text = ComboText(c, tag);
    MarginGuard margins(c, tag);
    PrintFitted(target, c, text, Alignment::Left, VerticalAlignment::Middle, true);
}

void PrintMarkedCaption(twip::Printer& target, const PrintControl& c, const char* on,
                        const char* off) {
    SetControlFont(target, c, "宋体", 1.0, false);
    TryStep([&] {
        std::string marker = c.checked() ? on : off;
        PrintAt(target, PageX(c.left()) + kCaptionIndent, PageY(c.top()), marker + c.text());
    });
}

void PrintText(twip::Printer& target, PrintControl& c) {
    switch (c.kind()) {
    case ControlKind::TextBox:
        PrintTextBox(target, c);
        break;
    case ControlKind::Label:
        PrintLabel(target, c);
        break;
    case ControlKind::ComboBox:
        PrintComboBox(target, c);
        break;
    case ControlKind::OptionButton:
        PrintMarkedCaption(target, c, "(√)", "(  )");
        break;
    case ControlKind::CheckBox:
        PrintMarkedCaption(target, c, "[√]", "[  ]");
        break;
    default:
        break;
    }
}

void PrintRuling(twip::Printer& target, const PrintControl& c) {
    if (c.kind() == ControlKind::Line) {
        target.line(PageX(c.x1()), PageY(c.y1()), PageX(c.x2()), PageY(c.y2()));
    } else if (c.kind() == ControlKind::Shape) {
        Box box = ReadBox(c);
        int l = PageX(box.left), t = PageY(box.top);
        int r = PageX(box.left + box.width), b = PageY(box.top + box.height);
        TryStep([&] { target.line(l, t, r, t); });
        TryStep([&] { target.line(l, t, l, b); });
        TryStep([&] { target.line(l, b, r, b); });
        TryStep([&] { target.line(r, t, r, b); });
    }
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char ch) { return (ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::vector<PrintControl*> ControlsInContainer(const std::vector<PrintControl*>& controls,
                                               const std::string& name, int index) {
    std::vector<PrintControl*> inside;
    for (auto* c : controls)
        if (c && ReadOr(
                     [&] {
                         return SameNameIgnoringCase(c->containerName(), name) &&
                                c->containerIndex() == index;
                     },
                     false))
            inside.push_back(c);
    return inside;
}

// The scale factors are single precision, and so are the products.
double Scaled(float scale, double value) {
    return static_cast<double>(scale * static_cast<float>(value));
}

} // namespace

int PageX(double x) {
    return Round(Scaled(PageScaleX, x) + kPageMargin);
}
int PageY(double y) {
    return Round(Scaled(PageScaleY, y) + kPageMargin);
}
int BoxWidth(double width) {
    return Round(Scaled(PageScaleX, width));
}
int BoxHeight(double height) {
    return Round(Scaled(PageScaleY, height));
}

int FitText(twip::Printer& target, double boxWidth, double boxHeight, double& xOffset,
            double& yOffset, std::string& text, Alignment horizontal, VerticalAlignment vertical,
            double& fontSize) {
    Wrapped wrapped;
    while (true) {
        double h = target.textHeight("字");
        wrapped = WrapByCharacter(target, text, boxWidth);
        if (wrapped.charTooWide) {
            ShrinkFont(target, 0.5);
            continue;
        }
        if (wrapped.lines * h > boxHeight) {
            if (target.fontSize() > 0.25) {
                ShrinkFont(target, 0.25);
                continue;
            }
            target.setFontSize(1);
        }
        break;
    }
    text = wrapped.text;
    fontSize = target.fontSize();
    double firstWidth = target.textWidth(FirstLine(text));
    switch (horizontal) {
    case Alignment::Left:
        xOffset += kTextInset;
        break;
    case Alignment::Right:
        xOffset += boxWidth - firstWidth - kTextInset;
        break;
    case Alignment::Centre:
        xOffset += (boxWidth - firstWidth) / 2;
        break;
    }
    double lineHeight = target.textHeight("中");
    double linesHeight = wrapped.lines * lineHeight;
    switch (vertical) {
    case VerticalAlignment::Top:
        yOffset += kTextInset;
        break;
    case VerticalAlignment::Bottom:
        yOffset += boxHeight - linesHeight - kTextInset;
        break;
    case VerticalAlignment::Middle:
        yOffset += (boxHeight - linesHeight) / 2;
        break;
    }
    return wrapped.lines;
}

void PrintControls(twip::Printer& target, const std::vector<PrintControl*>& controls,
                   const std::string& containerName, int containerIndex) {
    PrintControlPages(target, controls, containerName, containerIndex, 1, {});
}

int PrintControlPages(twip::Printer& target, const std::vector<PrintControl*>& controls,
                      const std::string& containerName, int containerIndex, int pageCount,
                      const PreparePage& prepare) {
    if (!TryStep([&] { target.startDoc(); }))
        return 0; // no job: nothing can be printed
    TryStep([&] { target.print(""); });
    int drawWidth = ReadOr([&] { return target.drawWidth(); }, 1);
    TryStep([&] { target.setDrawWidth(kRulingDrawWidth); });
    auto inside =
        ReadOr([&] { return ControlsInContainer(controls, containerName, containerIndex); },
               std::vector<PrintControl*>());
    int printed = 0;
    for (int page = 0; page < std::max(pageCount, 1); ++page) {
        if (page > 0 && !TryStep([&] { target.newPage(); }))
            break;
        if (prepare)
            TryStep([&] { prepare(page); });
        for (auto* c : inside)
            TryStep([&] { PrintText(target, *c); });
        for (auto* c : inside)
            TryStep([&] { PrintRuling(target, *c); });
        ++printed;
    }
    const bool ended = TryStep([&] { target.endDoc(); });
    TryStep([&] { target.setDrawWidth(drawWidth); });
    return ended ? printed : 0; // a job that did not end never reached the printer
}

void SetPrinterPage(twip::Printer& target, int paperSize, int orientation) {
    if (PrinterCount == 0)
        return;
    TryStep([&] {
        if (target.paperSize() != paperSize)
            target.setPaperSize(paperSize);
    });
    TryStep([&] {
        if (target.orientation() != orientation)
            target.setOrientation(orientation);
    });
}

} // namespace printing
