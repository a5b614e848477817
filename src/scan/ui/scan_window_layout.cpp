// The controls of "扫描与合并" and what their signals run.

#include "scan/ui/ScanWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace scan::ui {
namespace {

constexpr int kThumb = 150;

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

void ScanWindow::build() {
    auto* top = new QVBoxLayout(this);
    auto* entry = new QLabel(
        QString::fromStdString("报件：【" + request_.material + "】" + request_.entry), this);
    entry->setObjectName(QStringLiteral("entry"));
    top->addWidget(entry);

    buildScannerSettings(top);
    buildScanActions(top);
    buildPageList(top);
    working_ = new QLabel(this);
    working_->setObjectName(QStringLiteral("working"));
    top->addWidget(working_);
    buildText(top);

    buildOutput(top);
    connectControls();
}

// The scanner, its resolution, colour and area.
void ScanWindow::buildScannerSettings(QBoxLayout* top) {
    auto* scanner = new QGridLayout();
    scanner->addWidget(new QLabel(QStringLiteral("扫描仪："), this), 0, 0);
    devices_ = new QComboBox(this);
    devices_->setObjectName(QStringLiteral("devices"));
    devices_->setMinimumWidth(260);
    scanner->addWidget(devices_, 0, 1, 1, 3);
    deviceNote_ = new QLabel(QStringLiteral("正在查找扫描仪……"), this);
    deviceNote_->setObjectName(QStringLiteral("deviceNote"));
    scanner->addWidget(deviceNote_, 0, 4, 1, 3);
    scanner->addWidget(new QLabel(QStringLiteral("分辨率："), this), 1, 0);
    dpi_ = new QComboBox(this);
    dpi_->setObjectName(QStringLiteral("dpi"));
    for (int d : {150, 200, 300})
        dpi_->addItem(QStringLiteral("%1 dpi").arg(d), d);
    dpi_->setCurrentIndex(1);
    scanner->addWidget(dpi_, 1, 1);
    scanner->addWidget(new QLabel(QStringLiteral("颜色："), this), 1, 2);
    colour_ = new QComboBox(this);
    colour_->setObjectName(QStringLiteral("colour"));
    colour_->addItems({QStringLiteral("彩色"), QStringLiteral("灰度"), QStringLiteral("黑白")});
    scanner->addWidget(colour_, 1, 3);
    scanner->addWidget(new QLabel(QStringLiteral("范围："), this), 1, 4);
    area_ = new QComboBox(this);
    area_->setObjectName(QStringLiteral("area"));
    area_->addItems({QStringLiteral("A4"), QStringLiteral("扫描仪最大范围")});
    scanner->addWidget(area_, 1, 5);
    top->addLayout(scanner);
}

// Scanning, stopping and adding image files, with the scan's progress.
void ScanWindow::buildScanActions(QBoxLayout* top) {
    auto* actions = new QHBoxLayout();
    scan_ = Button("scanPage", "扫描一页", this);
    scanBack_ = Button("scanBack", "扫描反面", this);
    scanBack_->setToolTip(QStringLiteral(
        "单面扫描仪扫描双面文件：正面扫完后，将整叠纸翻面放入，逐页扫描反面（最后一页先扫），"
        "反面自动插到对应正面之后。"));
    cancelScan_ = Button("cancelScan", "停止扫描", this);
    addImages_ = Button("addImages", "添加图片...", this);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 100);
    progress_->setVisible(false);
    actions->addWidget(scan_);
    actions->addWidget(scanBack_);
    actions->addWidget(cancelScan_);
    actions->addWidget(progress_, 1);
    actions->addStretch();
    actions->addWidget(addImages_);
    top->addLayout(actions);
}

// The pages as thumbnails and the column of what can be done to them.
void ScanWindow::buildPageList(QBoxLayout* top) {
    auto* middle = new QHBoxLayout();
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("pages"));
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(kThumb, kThumb));
    list_->setMovement(QListView::Static);
    list_->setResizeMode(QListView::Adjust);
    list_->setSpacing(6);
    list_->setMinimumSize(700, 380);
    middle->addWidget(list_, 1);
    auto* edit = new QVBoxLayout();
    up_ = Button("moveUp", "上移", this);
    down_ = Button("moveDown", "下移", this);
    rotate_ = Button("rotate", "旋转", this);
    remove_ = Button("remove", "删除", this);
    removeBlank_ = Button("removeBlank", "删除空白页", this);
    for (QPushButton* b : {up_, down_, rotate_, remove_, removeBlank_})
        edit->addWidget(b);
    buildPhotoControls(edit);
    blankNote_ = new QLabel(this);
    blankNote_->setObjectName(QStringLiteral("blankNote"));
    blankNote_->setWordWrap(true);
    edit->addWidget(blankNote_);
    edit->addStretch();
    middle->addLayout(edit);
    top->addLayout(middle, 1);
}

// The output quality, the size it gives, "完成" and "取消".
void ScanWindow::buildOutput(QBoxLayout* top) {
    auto* bottom = new QHBoxLayout();
    bottom->addWidget(new QLabel(QStringLiteral("输出质量："), this));
    quality_box_ = new QComboBox(this);
    quality_box_->setObjectName(QStringLiteral("quality"));
    for (int q = 0; q < kQualityCount; ++q)
        quality_box_->addItem(QString::fromUtf8(Preset(static_cast<Quality>(q)).name));
    quality_box_->setCurrentIndex(static_cast<int>(Quality::Standard));
    bottom->addWidget(quality_box_);
    size_ = new QLabel(this);
    size_->setObjectName(QStringLiteral("size"));
    bottom->addWidget(size_, 1);
    finish_ = Button("finish", "完成", this);
    cancel_ = Button("cancel", "取消", this);
    bottom->addWidget(finish_);
    bottom->addWidget(cancel_);
    top->addLayout(bottom);
}

void ScanWindow::connectControls() {
    connect(scan_, &QPushButton::clicked, this, [this] { scanPage(false); });
    connect(scanBack_, &QPushButton::clicked, this, [this] { scanPage(true); });
    connect(cancelScan_, &QPushButton::clicked, this, [this] { cancelScan(); });
    connect(addImages_, &QPushButton::clicked, this, [this] { addImages(); });
    connect(up_, &QPushButton::clicked, this, [this] { moveUp(); });
    connect(down_, &QPushButton::clicked, this, [this] { moveDown(); });
    connect(rotate_, &QPushButton::clicked, this, [this] { rotate(); });
    connect(remove_, &QPushButton::clicked, this, [this] { removePage(); });
    connect(removeBlank_, &QPushButton::clicked, this, [this] { removeBlankPages(); });
    connect(finish_, &QPushButton::clicked, this, [this] { finish(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
    connect(quality_box_, &QComboBox::currentIndexChanged, this,
            [this](int i) { setQuality(static_cast<Quality>(i)); });
}

} // namespace scan::ui
