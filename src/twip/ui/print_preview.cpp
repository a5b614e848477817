#include "twip/ui/print_preview.h"

#include "twip/ui/qt_printer.h"
#include "twip/ui/twipform.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPageSize>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace twip::ui {

PrintPreview::PrintPreview(platform::PreviewRequest request, QWidget* parent)
    : QDialog(parent), request_(std::move(request)) {
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(QString::fromStdString(request_.title) + QStringLiteral(" - 打印预览"));
    printer_ = dynamic_cast<QtPrinter*>(request_.printer);
    if (!printer_) {
        // The default printer, as "打 印" without a printer of its own uses.
        ownPrinter_ = std::make_unique<QtPrinter>();
        printer_ = ownPrinter_.get();
        // Without any printer the print action leaves the paper alone: the
        // preview (and its PDF) still shows the A4 page it is designed for.
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
            printer_->device().setPageSize(QPageSize(QPageSize::A4));
            printer_->device().setPageOrientation(QPageLayout::Portrait);
        }
    }
    preview_ = new QPrintPreviewWidget(&printer_->device(), this);
    preview_->setObjectName(QStringLiteral("PreviewWidget"));
    connect(preview_, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter*) {
        if (request_.draw)
            request_.draw(*printer_);
    });

    auto* buttons = new QHBoxLayout;
    connect(addButton("CmdPrint", "打 印"), &QPushButton::clicked, this, [this] { print(); });
    buttons->addWidget(findChild<QPushButton*>(QStringLiteral("CmdPrint")));
    QPushButton* pdf = addButton("CmdPdf", "保存PDF...");
    connect(pdf, &QPushButton::clicked, this, [this] { savePdf(); });
    buttons->addWidget(pdf);
    QPushButton* zoomIn = addButton("CmdZoomIn", "放 大");
    connect(zoomIn, &QPushButton::clicked, preview_, [this] { preview_->zoomIn(); });
    buttons->addWidget(zoomIn);
    QPushButton* zoomOut = addButton("CmdZoomOut", "缩 小");
    connect(zoomOut, &QPushButton::clicked, preview_, [this] { preview_->zoomOut(); });
    buttons->addWidget(zoomOut);
    QPushButton* whole = addButton("CmdFit", "整 页");
    connect(whole, &QPushButton::clicked, preview_, [this] { preview_->fitInView(); });
    buttons->addWidget(whole);
    buttons->addStretch();
    QPushButton* close = addButton("CmdClose", "关 闭");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(preview_, 1);
    preview_->setViewMode(QPrintPreviewWidget::SinglePageView);
    preview_->setZoomMode(QPrintPreviewWidget::FitInView);
    // On a small screen the window takes the free area; the page fits into it.
    QSize size(760, 900);
    if (const QScreen* free = screen())
        size = size.boundedTo(free->availableGeometry().size() - TwipForm::FrameAllowance());
    resize(size);
}

// Enter presses the focused button, as in the program's other windows.
void PrintPreview::keyPressEvent(QKeyEvent* event) {
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                       (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!button || !enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
    button->click();
}

PrintPreview::~PrintPreview() = default;

QPushButton* PrintPreview::addButton(const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
}

int PrintPreview::pageCount() const {
    return preview_->pageCount();
}

bool PrintPreview::savePdf() {
    platform::FileDialogRequest ask;
    ask.title = "保存为PDF文件";
    ask.filter = "PDF文件(*.pdf)|*.pdf";
    ask.proposedName = request_.pdfName;
    const std::optional<std::string> chosen = platform::CurrentPrompter().saveFile(ask);
    if (!chosen || chosen->empty() || !request_.draw)
        return false;
    const QString path = QString::fromStdString(*chosen);
    bool drawn = false;
    {
        QtPrinter pdf(path);
        drawn = request_.draw(pdf);
    }
    const QFileInfo written(path);
    if (!drawn || !written.exists() || written.size() == 0) {
        platform::Notify("PDF文件未能保存：" + *chosen, "错误", platform::MsgIcon::Exclamation);
        return false;
    }
    platform::Notify("已保存PDF文件：" + *chosen, "提示", platform::MsgIcon::Information);
    return true;
}

void PrintPreview::print() {
    if (request_.print)
        request_.print();
    accept();
}

} // namespace twip::ui
