#include "ui/frmverify.h"

#include <utility>

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/showmsg.h"
#include "platform/desktopopener.h"
#include "platform/paths.h"
#include "scan/backgroundscan.h"
#include "ui/runstep.h"
#include "ui/verdictmodel.h"

namespace mellowby::ui {

namespace {

const char* const kVerifyTitle = "校验光盘";

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

frmVerify::frmVerify(const verify::VerifyServices& services, std::string catalogName, platform::IMessageBox& box,
    platform::IDesktopOpener& opener, QWidget* parent)
    : QDialog(parent)
    , m_services(services)
    , m_catalogName(std::move(catalogName))
    , m_box(box)
    , m_opener(opener)
{
    setObjectName(QStringLiteral("frmVerify"));
    setWindowTitle(QString::fromUtf8(kVerifyTitle) + u"：" + QString::fromStdString(m_catalogName));
    createControls();
    resize(720, 420);
    start();
}

frmVerify::~frmVerify()
{
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

void frmVerify::createControls()
{
    auto* layout = new QVBoxLayout(this);
    m_lblProgress = new QLabel(QStringLiteral("正在查找光盘……"), this);
    m_lblProgress->setObjectName(QStringLiteral("lblProgress"));
    m_lblProgress->setWordWrap(true);
    m_model = new VerdictModel(this);
    m_rows = new QTableView(this);
    m_rows->setObjectName(QStringLiteral("lstProblems"));
    m_rows->setModel(m_model);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rows->verticalHeader()->hide();
    m_rows->horizontalHeader()->setStretchLastSection(true);
    // One line a row, long locations shortened in the middle where their file names are kept.
    m_rows->setWordWrap(false);
    m_rows->setTextElideMode(Qt::ElideMiddle);
    m_rows->setColumnWidth(VerdictModel::Name, 140);
    m_rows->setColumnWidth(VerdictModel::Status, 70);
    m_rows->setColumnWidth(VerdictModel::Location, 280);
    m_cmdStop = new QPushButton(QStringLiteral("停止(&S)"), this);
    m_cmdStop->setObjectName(QStringLiteral("cmdStop"));
    m_cmdClose = new QPushButton(QStringLiteral("关闭(&C)"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    m_cmdClose->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdStop);
    buttons->addWidget(m_cmdClose);
    layout->addWidget(m_lblProgress);
    layout->addWidget(m_rows);
    layout->addLayout(buttons);

    m_timer = new QTimer(this);
    m_timer->setInterval(scan::kProgressPollInterval);
    connect(m_timer, &QTimer::timeout, this, &frmVerify::showProgress);
    connect(m_cmdStop, &QPushButton::clicked, this, &frmVerify::cmdStop_Click);
    connect(m_cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_rows, &QTableView::doubleClicked, this, &frmVerify::rowOpened);
}

void frmVerify::start()
{
    m_worker = std::thread([this] {
        verify::VerifyCallbacks callbacks;
        callbacks.rows = [this](const verify::VerdictRow& row) {
            // Files found whole are counted in the summary; only the others are listed.
            if (row.verdict == verify::Verdict::Ok)
                return;
            const std::lock_guard lock(m_mutex);
            m_pending.push_back(row);
        };
        callbacks.progress = [this](const digest::DigestProgress& progress) {
            const std::lock_guard lock(m_mutex);
            m_progress = progress;
        };
        callbacks.stop = &m_stop;
        auto outcome = verify::verifyCatalog(m_services, { m_catalogName, std::nullopt, false }, callbacks);
        {
            const std::lock_guard lock(m_mutex);
            m_outcome = std::move(outcome);
        }
        m_done = true;
    });
    m_timer->start();
}

void frmVerify::showProgress()
{
    std::vector<verify::VerdictRow> rows;
    std::optional<digest::DigestProgress> progress;
    {
        const std::lock_guard lock(m_mutex);
        rows.swap(m_pending);
        progress = m_progress;
    }
    m_model->append(std::move(rows));
    if (progress)
        m_lblProgress->setText(fromUtf8(digest::progressText(*progress)));
    if (m_done)
        showOutcome();
}

void frmVerify::showOutcome()
{
    m_timer->stop();
    if (m_worker.joinable())
        m_worker.join();
    // Rows given after the last poll.
    m_model->append(std::exchange(m_pending, {}));
    const auto& outcome = *m_outcome;
    QString text;
    if (!outcome) {
        text = outcome.error().failure == verify::VerifyFailure::Stopped
            ? QStringLiteral("校验已停止。")
            : QStringLiteral("无法校验：") + QString::fromStdString(outcome.error().text);
    } else {
        text = (outcome->counts.allOk() ? QStringLiteral("校验完毕，所有文件完好：")
                                        : QStringLiteral("校验完毕，有文件与目录不符："))
            + QString::fromStdString(outcome->counts.text());
        if (!outcome->recorded)
            text += QStringLiteral("\n校验结果未能记录：") + QString::fromStdString(outcome->notRecorded);
    }
    m_lblProgress->setText(text);
    m_cmdStop->setEnabled(false);
    m_cmdClose->setEnabled(true);
    m_cmdClose->setDefault(true);
    m_shownFinished = true;
}

void frmVerify::cmdStop_Click()
{
    m_stop = true;
    m_cmdStop->setEnabled(false);
    m_lblProgress->setText(QStringLiteral("正在停止……"));
}

void frmVerify::reject()
{
    // Esc and the close button stop a verification that is running, and close once it has ended.
    if (!m_shownFinished) {
        cmdStop_Click();
        if (m_worker.joinable())
            m_worker.join();
        showOutcome();
    }
    QDialog::reject();
}

void frmVerify::rowOpened(const QModelIndex& index)
{
    runStep([this, index] {
        if (!index.isValid())
            return;
        const verify::VerdictRow& row = m_model->rowAt(index.row());
        // As a row of the file list opens: a file that is not there is said, one that is opens in
        // its folder.
        if (row.verdict == verify::Verdict::Missing) {
            app::ShowMsg(m_box, "当前文件不存，请检查！", 0, "", kVerifyTitle);
            return;
        }
        if (auto opened = m_opener.open(row.location, std::string(platform::folderPartOf(row.location))); !opened)
            app::ShowMsg(m_box, "打开指定文件时出错！", opened.error(), kVerifyTitle);
    });
}

} // namespace mellowby::ui
