#include "ui/frmaddnew.h"

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <system_error>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/programtitle.h"
#include "app/settings.h"
#include "app/showmsg.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "catalog/drivelist.h"
#include "digest/digestprogress.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilereading.h"
#include "platform/paths.h"
#include "scan/backgroundscan.h"
#include "ui/guithreadmessagebox.h"
#include "ui/programcontext.h"
#include "ui/runstep.h"
#include "ui/selfolder.h"
#include "ui/twipgeometry.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;

namespace {

const QString kWorking = u"正在生成磁盘列表文件，请稍候..."_s;
const QString kGenerated = u"磁盘列表文件已生成！"_s;
const QString kGenerate = u"生成列表(&G)"_s;
const QString kStop = u"停止(&S)"_s;

template <typename Widget> Widget* addControl(Widget* widget, const QString& name, const QRect& rect)
{
    widget->setObjectName(name);
    widget->setGeometry(rect);
    return widget;
}

QPushButton* addButton(QWidget* parent, const QString& caption, const QString& name, const QRect& rect)
{
    auto* button = addControl(new QPushButton(caption, parent), name, rect);
    // Enter in the path box must not press whichever button comes first.
    button->setAutoDefault(false);
    return button;
}

// One line that fits width: the working text, the counts, and as much of the folder being
// walked as there is room for, shortened in the middle so both its root and its leaf show.
QString progressLine(const scan::ScanProgress& progress, const QFontMetrics& metrics, int width)
{
    const QString counts = kWorking + u" 目录 "_s + QString::number(progress.directories) + u"，文件 "_s
        + QString::number(progress.files) + u"："_s;
    const int room = width - metrics.horizontalAdvance(counts);
    // A large font may leave no room even for the counts; the line is cut then, not wrapped.
    if (room <= 0)
        return metrics.elidedText(counts, Qt::ElideRight, width);
    return counts + metrics.elidedText(QString::fromStdString(progress.currentDirectory), Qt::ElideMiddle, room);
}

// While the files' contents are read for their digests, what is left of that says more than the
// folder being walked: files and bytes read of those found, and the time left. The speed gives way
// first where the line is too narrow.
QString digestLine(digest::DigestProgress progress, const QFontMetrics& metrics, int width)
{
    QString text = QString::fromStdString(digest::progressText(progress));
    if (metrics.horizontalAdvance(text) > width) {
        progress.bytesPerSecond = 0;
        text = QString::fromStdString(digest::progressText(progress));
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

// The check boxes of what a generation adds to the catalog, one row each below the progress text,
// where the designed dialog had room: a new one is one more row.
QRect extraOptionRect(int row)
{
    constexpr int kFirstTop = 4080;
    constexpr int kRowHeight = 420;
    return twipsRect(120, kFirstTop + row * kRowHeight, 5895, 375);
}

} // namespace

// A walk under way with what it works with. The walk is declared last, so it has ended before the
// box and the dates it uses go.
struct frmAddNew::Generation {
    Generation(ProgramContext& context, const names::NamesIndexCache& indexes, const std::string& path,
        std::string catalogName, std::function<void()> onFinished)
        : name(std::move(catalogName))
        , dates(catalog::DateFormatter::userLocaleName())
        , box(context.box)
        , scan(scan::ScanContext { indexes.store(), context.settings, context.lister, box, dates, nullptr, &indexes,
                   &context.volumes, true,
                   context.settings.checksums ? std::optional(digest::DigestAlgorithm::Xxh128) : std::nullopt, &reading,
                   nullptr, context.settings.archives },
              path, name, std::move(onFinished))
    {
    }
    ~Generation() { stopAndWait(); }
    Generation(const Generation&) = delete;
    Generation& operator=(const Generation&) = delete;

    // The walk may be waiting for a box on this very thread; such a box is dismissed rather
    // than shown, so that neither side waits for the other.
    void stopAndWait()
    {
        scan.requestStop();
        box.setDismissing(true);
        while (!scan.waitFor(std::chrono::milliseconds(10)))
            box.deliverQueued();
    }

    const std::string name;
    const catalog::DateFormatter dates;
    GuiThreadMessageBox box;
    platform::LinuxFileReading reading;
    scan::BackgroundScan scan;
};

frmAddNew::frmAddNew(ProgramContext& context, browse::CatalogBrowser& browser, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_browser(browser)
{
    setWindowTitle(u"添加列表"_s);
    setModal(true);
    createControls();
    // The dialog was designed in twips for a fixed client area.
    setFixedSize(twipsToPixels(6195), twipsToPixels(5835));
    Form_Load();
    // Connected after Form_Load: filling the boxes is not a change the user has to save.
    connectHandlers();
}

frmAddNew::~frmAddNew()
{
    runStep([this] { stopGeneration(); });
}

void frmAddNew::createControls()
{
    m_lblDisk = addControl(new QLabel(u"磁盘(目录)："_s, this), u"lblDisk"_s, twipsRect(120, 240, 1080, 180));
    m_cmbDisk = addControl(new QComboBox(this), u"cmbDisk"_s, twipsRect(1200, 180, 2655, 300));
    m_cmbDisk->setEditable(true);
    // A typed path stays a typed path: Enter must not turn it into a list entry.
    m_cmbDisk->setInsertPolicy(QComboBox::NoInsert);
    m_cmdSelDir = addButton(this, u"..."_s, u"cmdSelDir"_s, twipsRect(3960, 120, 495, 375));
    m_cmdSelDir->setToolTip(u"选择磁盘目录"_s);
    m_cmdGenXml = addButton(this, kGenerate, u"cmdGenXml"_s, twipsRect(4680, 120, 1335, 375));

    m_Frame1 = addControl(new QGroupBox(u"生成选项"_s, this), u"Frame1"_s, twipsRect(120, 600, 5895, 2895));
    m_chkIfUseOption = addControl(
        new QCheckBox(u"创建时使用过滤器"_s, m_Frame1), u"chkIfUseOption"_s, twipsRect(120, 360, 5175, 375));
    m_Label1 = addControl(
        new QLabel(u"创建时不包含以下文件类型："_s, m_Frame1), u"Label1"_s, twipsRect(120, 1080, 2340, 180));
    m_txtNoFile = addControl(new QLineEdit(m_Frame1), u"txtNoFile"_s, twipsRect(120, 1440, 5655, 300));
    m_chkYesFile = addControl(
        new QCheckBox(u"创建时仅包含以下文件类型"_s, m_Frame1), u"chkYesFile"_s, twipsRect(120, 1920, 3855, 375));
    m_txtYesFile = addControl(new QLineEdit(m_Frame1), u"txtYesFile"_s, twipsRect(120, 2400, 5655, 300));

    m_lblShow = addControl(new QLabel(this), u"lblShow"_s, twipsRect(120, 3600, 5895, 375));
    m_lblShow->hide();
    m_chkChecksums = addControl(new QCheckBox(u"同时计算校验和"_s, this), u"chkChecksums"_s, extraOptionRect(0));
    m_chkArchives = addControl(new QCheckBox(u"包括压缩文件内容"_s, this), u"chkArchives"_s, extraOptionRect(1));
    m_cmdSaveOption = addButton(this, u"保存选项(&O)"_s, u"cmdSaveOption"_s, twipsRect(3360, 5280, 1215, 375));
    m_cmdSaveOption->setEnabled(false);
    m_cmdClose = addButton(this, u"关闭退出(&X)"_s, u"cmdClose"_s, twipsRect(4800, 5280, 1215, 375));

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(scan::kProgressPollInterval);
}

void frmAddNew::connectHandlers()
{
    connect(m_chkIfUseOption, &QCheckBox::clicked, this, &frmAddNew::chkIfUseOption_Click);
    connect(m_chkYesFile, &QCheckBox::clicked, this, &frmAddNew::chkYesFile_Click);
    connect(m_chkChecksums, &QCheckBox::clicked, this,
        [this] { scanExtra_Click(app::ScanExtra::Checksums, m_chkChecksums->isChecked()); });
    connect(m_chkArchives, &QCheckBox::clicked, this,
        [this] { scanExtra_Click(app::ScanExtra::Archives, m_chkArchives->isChecked()); });
    connect(m_txtNoFile, &QLineEdit::textChanged, this, &frmAddNew::txtNoFile_Change);
    connect(m_txtYesFile, &QLineEdit::textChanged, this, &frmAddNew::txtYesFile_Change);
    connect(m_cmdSelDir, &QPushButton::clicked, this, &frmAddNew::cmdSelDir_Click);
    connect(m_cmdSaveOption, &QPushButton::clicked, this, &frmAddNew::cmdSaveOption_Click);
    connect(m_cmdGenXml, &QPushButton::clicked, this, &frmAddNew::cmdGenXml_Click);
    connect(m_cmdClose, &QPushButton::clicked, this, &frmAddNew::cmdClose_Click);
    connect(m_progressTimer, &QTimer::timeout, this, &frmAddNew::showProgress);
}

void frmAddNew::Form_Load()
{
    const app::Settings& settings = m_context.settings;
    runStep([&] {
        m_txtNoFile->setText(
            settings.NoFileStr.empty() ? u"gif|jpg|pcx|tif|ico"_s : QString::fromStdString(settings.NoFileStr));
    });
    runStep([&] { m_txtYesFile->setText(QString::fromStdString(settings.YesFileStr)); });
    runStep([&] { m_txtYesFile->setEnabled(settings.ifYesFile); });
    runStep([&] {
        m_chkYesFile->setChecked(settings.ifYesFile);
        m_chkIfUseOption->setChecked(settings.ifUseOption);
        m_chkChecksums->setChecked(settings.checksums);
        m_chkArchives->setChecked(settings.archives);
    });
    runStep([this] { fillDiskList(); });
}

void frmAddNew::fillDiskList()
{
    // The last optical drive in drive order is the likeliest thing to scan; without one, nothing
    // is chosen for the user.
    int selected = -1;
    for (const platform::Drive& drive : m_context.drives.drives) {
        m_cmbDisk->addItem(QString::fromStdString(catalog::driveLabel(drive)));
        if (drive.kind == platform::DriveKind::CdRom)
            selected = m_cmbDisk->count() - 1;
    }
    m_cmbDisk->setCurrentIndex(selected);
}

void frmAddNew::chkIfUseOption_Click()
{
    m_cmdSaveOption->setEnabled(true);
}

void frmAddNew::chkYesFile_Click()
{
    m_txtYesFile->setEnabled(m_chkYesFile->isChecked());
    m_cmdSaveOption->setEnabled(true);
}

void frmAddNew::scanExtra_Click(app::ScanExtra extra, bool wanted)
{
    // Remembered at once: it is what the next generation does, not a filter to be saved.
    runStep([this, extra, wanted] { app::saveScanExtra(m_context.folder, extra, wanted, m_context.settings); });
}

void frmAddNew::txtNoFile_Change()
{
    m_cmdSaveOption->setEnabled(true);
}

void frmAddNew::txtYesFile_Change()
{
    m_cmdSaveOption->setEnabled(true);
}

void frmAddNew::cmdSelDir_Click()
{
    runStep([this] {
        const QString folder = getSelFolder(m_context.folderPicker, this, u"请选择一个目录"_s);
        if (folder.isEmpty())
            return;
        m_cmbDisk->setCurrentIndex(-1);
        m_cmbDisk->setEditText(folder);
    });
}

void frmAddNew::cmdSaveOption_Click()
{
    // Each value is written even when an earlier one failed. The settings in memory follow
    // every value the file took, so the next generation applies what the user saved; a value the
    // file refused (an empty box is never stored) stays as the file keeps it.
    runStep([this] {
        const app::Settings wanted { m_txtNoFile->text().toStdString(), m_txtYesFile->text().toStdString(),
            m_chkYesFile->isChecked(), m_chkIfUseOption->isChecked() };
        app::saveSettings(m_context.folder, wanted, m_context.settings, m_context.box);
    });
}

void frmAddNew::cmdGenXml_Click()
{
    if (m_generation) {
        // The button is the stop button while a walk runs; the walk ends at its next check.
        m_generation->scan.requestStop();
        m_cmdGenXml->setEnabled(false);
        return;
    }
    const auto report = [this](int number, const std::string& description) {
        runStep([this] {
            m_generation.reset();
            setGenerating(false);
            m_lblShow->hide();
        });
        app::ShowMsg(m_context.box, "出错!", number, description, "form1-cmdGetList");
    };
    // What the last generation said is over, however this one ends.
    m_lblShow->hide();
    try {
        const auto target = targetPath();
        if (!target)
            return;
        const std::string& path = target->path;
        // An optical drive from the list, or a typed text that names one, needs a readable disc.
        if ((target->opticalDrive || m_cmbDisk->currentText().contains(QString::fromUtf8(catalog::kOpticalDriveText)))
            && !catalog::ifMediaValided(m_context.drivesProbe, m_context.box, path)) {
            app::ShowMsg(m_context.box, "光驱未准备好！或被其他程序打开占用！请关闭占用光驱的程序。", 0, "", "");
            return;
        }
        const auto typed = m_context.box.prompt("请输入该盘名称:", app::kProgramTitle, "");
        if (!typed)
            return;
        // An empty answer names the catalog tmp1000, in its title too, so that the tree shows it
        // at once and it can be listed and deleted like any other.
        startGeneration(path, catalog::effectiveCatalogName(*typed));
    } catch (const std::system_error& failure) {
        report(failure.code().value(), failure.what());
    } catch (const std::exception& failure) {
        report(0, failure.what());
    } catch (...) {
        report(0, {});
    }
}

void frmAddNew::cmdClose_Click()
{
    runStep([this] { close(); });
}

std::optional<frmAddNew::Target> frmAddNew::targetPath() const
{
    const QString text = m_cmbDisk->currentText();
    const std::vector<platform::Drive>& drives = m_context.drives.drives;
    // A text equal to a list entry is that entry, however it got there (chosen, completed, typed).
    if (const int entry = m_cmbDisk->findText(text); entry >= 0 && static_cast<std::size_t>(entry) < drives.size()) {
        const platform::Drive& drive = drives[static_cast<std::size_t>(entry)];
        if (drive.root.empty())
            return std::nullopt;
        return Target { platform::collapseDoubledSeparators(drive.root), drive.kind == platform::DriveKind::CdRom };
    }
    if (text.isEmpty())
        return std::nullopt;
    return Target { platform::collapseDoubledSeparators(QFile::encodeName(text).toStdString()), false };
}

void frmAddNew::startGeneration(const std::string& path, const std::string& name)
{
    m_lblShow->setText(kWorking);
    m_lblShow->show();
    // The outcome is shown as soon as the walk ends, not at the next tick of the timer; the call
    // comes from the walk's thread and is carried out on the dialog's.
    m_generation = std::make_unique<Generation>(m_context, m_browser.indexes(), path, name, [this] {
        QMetaObject::invokeMethod(
            this, [this] { showProgress(); }, Qt::QueuedConnection);
    });
    setGenerating(true);
    m_progressTimer->start();
}

void frmAddNew::showProgress()
{
    runStep([this] {
        if (!m_generation) {
            m_progressTimer->stop();
            return;
        }
        if (m_generation->scan.finished()) {
            finishGeneration();
            return;
        }
        const scan::ScanProgress progress = m_generation->scan.progress();
        m_lblShow->setText(progress.digests
                ? digestLine(*progress.digests, m_lblShow->fontMetrics(), m_lblShow->width())
                : progressLine(progress, m_lblShow->fontMetrics(), m_lblShow->width()));
    });
}

void frmAddNew::finishGeneration()
{
    m_progressTimer->stop();
    const std::unique_ptr<Generation> generation = std::move(m_generation);
    const bool written = generation->scan.result().has_value();
    setGenerating(false);
    if (written) {
        // The tree keys the catalog by its name as typed, a final ".xml" left off.
        runStep([&] { m_browser.AddXmlToTree(generation->name); });
        m_lblShow->setText(kGenerated);
    } else {
        // Stopped, declined, failed (the engine said why) or nothing to scan: the previous
        // catalog is as it was.
        m_lblShow->hide();
    }
}

void frmAddNew::stopGeneration()
{
    if (!m_generation)
        return;
    m_generation->stopAndWait();
    finishGeneration();
}

void frmAddNew::setGenerating(bool generating)
{
    if (generating == m_controlsLocked)
        return;
    m_controlsLocked = generating;
    m_cmdGenXml->setText(generating ? kStop : kGenerate);
    m_cmdGenXml->setEnabled(true);
    m_cmbDisk->setEnabled(!generating);
    m_cmdSelDir->setEnabled(!generating);
    // The frame's own children keep their states (txtYesFile follows chkYesFile).
    m_Frame1->setEnabled(!generating);
    m_chkChecksums->setEnabled(!generating);
    m_chkArchives->setEnabled(!generating);
    m_cmdClose->setEnabled(!generating);
    if (generating) {
        m_saveWasEnabled = m_cmdSaveOption->isEnabled();
        m_cmdSaveOption->setEnabled(false);
        // The pointer says "busy" but the stop button stays clickable.
        setCursor(Qt::BusyCursor);
    } else {
        m_cmdSaveOption->setEnabled(m_saveWasEnabled);
        unsetCursor();
    }
}

void frmAddNew::done(int result)
{
    runStep([this] { stopGeneration(); });
    QDialog::done(result);
}

} // namespace mellowby::ui
