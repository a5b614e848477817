// Text recognition in "扫描与合并": the box "识别文字（便于审批机关检索）",
// each page recognised on the TextWorker as it arrives (its text and the
// turn found kept with the page, so they follow it when it is turned, moved
// or deleted), the progress line and "停止", and the pages left without text.

#include "scan/ui/ScanWindow.h"

#include "scan/ui/page_worker.h"
#include "scan/ui/text_worker.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QThread>

namespace scan::ui {
namespace {

// What a page's text layer is guessed to add while it is being recognised
// (a page of official text: about 600 characters).
constexpr std::uint64_t kTextGuessBytes = 3000;

} // namespace

void ScanWindow::buildText(QBoxLayout* layout) {
    const OcrSupport support = CheckOcr();
    textUnavailable_ = support.available ? std::string() : support.note;
    auto* row = new QHBoxLayout();
    recognise_ = new QCheckBox(QStringLiteral("识别文字（便于审批机关检索）"), this);
    recognise_->setObjectName(QStringLiteral("recognise"));
    recognise_->setChecked(support.available);
    recognise_->setEnabled(support.available);
    stopText_ = new QPushButton(QStringLiteral("停止"), this);
    stopText_->setObjectName(QStringLiteral("stopText"));
    stopText_->setAutoDefault(false);
    stopText_->setVisible(false);
    textNote_ = new QLabel(this);
    textNote_->setObjectName(QStringLiteral("textNote"));
    textNote_->setWordWrap(true);
    row->addWidget(recognise_);
    row->addWidget(stopText_);
    row->addWidget(textNote_, 1);
    layout->addLayout(row);
    text_ = std::make_unique<TextWorker>(
        [this](std::uint64_t id, const OcrResult& result, const std::string& error) {
            textDone(id, result, error);
        });
    connect(recognise_, &QCheckBox::toggled, this, [this](bool on) { setRecognising(on); });
    connect(stopText_, &QPushButton::clicked, this, [this] { stopRecognition(); });
}

bool ScanWindow::recognising() const {
    return recognise_->isChecked() && textUnavailable_.empty();
}

void ScanWindow::setRecognising(bool on) {
    if (recognise_->isChecked() != on) {
        recognise_->setChecked(on); // comes back here through toggled
        return;
    }
    if (on) {
        for (const Page& page : pages_.pages())
            if (!page.text)
                recogniseNew(page.id);
    } else {
        text_->stop();
    }
    updateSize();
    updateButtons();
}

void ScanWindow::recogniseNew(std::uint64_t id) {
    const Page* page = pages_.find(id);
    if (!page || page->text || !recognising() || textWaiting_.count(id))
        return;
    textWaiting_.insert(id);
    textTimedOut_.erase(id);
    text_->recognise(id, page->source, page->turn.file, page->scanned);
}

void ScanWindow::forgetText(std::uint64_t id) {
    if (textWaiting_.erase(id))
        text_->drop(id);
    textTimedOut_.erase(id);
}

void ScanWindow::stopRecognition() {
    text_->stop();
    updateText();
}

void ScanWindow::textDone(std::uint64_t id, const OcrResult& result, const std::string& error) {
    if (!textWaiting_.erase(id) || !pages_.find(id))
        return; // dropped meanwhile
    if (!error.empty()) {
        // The engine cannot start here: the box says why and stays off.
        textUnavailable_ = error;
        text_->stop();
        recognise_->setChecked(false);
        recognise_->setEnabled(false);
    } else if (result.outcome == OcrOutcome::Done && result.text) {
        pages_.setText(id, result.text, result.detected);
        if (result.detected != 0) {
            // Shown turned at once.
            int at = currentPage();
            refresh(at);
            return;
        }
    } else if (result.outcome == OcrOutcome::TimedOut) {
        textTimedOut_.insert(id);
    }
    updateSize();
    updateButtons();
}

int ScanWindow::textLeft() const {
    return static_cast<int>(textWaiting_.size());
}

void ScanWindow::waitForText() {
    while (text_->outstanding() > 0) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(1);
    }
}

QString ScanWindow::textNote() const {
    if (!textUnavailable_.empty())
        return QString::fromStdString(textUnavailable_);
    std::vector<std::size_t> late;
    for (std::size_t i = 0; i < pages_.size(); ++i)
        if (textTimedOut_.count(pages_.at(i).id))
            late.push_back(i);
    if (late.empty())
        return {};
    QString pages;
    for (std::size_t i = 0; i < late.size(); ++i)
        pages += (i ? QStringLiteral("、") : QString()) + QString::number(late[i] + 1);
    return QStringLiteral("第%1页识别文字超过%2秒，未加入文字。")
        .arg(pages)
        .arg(kRecognitionDeadlineMs / 1000);
}

// The progress line's part and the note.
void ScanWindow::updateText() {
    textNote_->setText(textNote());
    stopText_->setVisible(!textWaiting_.empty());
    stopText_->setEnabled(!textWaiting_.empty());
}

std::uint64_t ScanWindow::estimatedBytes() const {
    const bool text = recognising();
    std::uint64_t bytes = pages_.estimatedBytes(quality_, text);
    if (text && !textWaiting_.empty()) {
        bytes += textWaiting_.size() * kTextGuessBytes;
        bool anyText = false;
        for (const Page& p : pages_.pages())
            anyText = anyText || (p.text && !p.text->empty());
        if (!anyText)
            bytes += kTextFontBytes;
    }
    return bytes;
}

} // namespace scan::ui
