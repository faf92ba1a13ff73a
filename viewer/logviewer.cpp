#include "logviewer.h"

#include "csvexport.h"
#include "filechoice.h"
#include "mainicon.h"
#include "messagebox.h"
#include "recording.h"
#include "samplebuffers.h"
#include "texts.h"
#include "viewerplot.h"
#include "viewertext.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int SCAN_PROGRESS_STEPS = 1000;
constexpr int PROGRESS_WIDTH = 220;
constexpr int CSV_PROGRESS_DELAY_MS = 500;
constexpr QSize INITIAL_SIZE(1000, 640);

QString Text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString Text(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

QPushButton *CommandButton(const char *caption, QWidget *parent)
{
    auto *button = new QPushButton(Text(caption), parent);
    // The plot keeps the keyboard: its keys zoom and pan whichever button was clicked last.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

CLogViewer::CLogViewer(const QString &path, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_path(path)
    , m_recording(std::make_unique<CRecording>(QFile::encodeName(path).toStdString()))
    , m_code(BIT_LENGTH_12)
{
    setWindowTitle(Text(ViewerTitle(path.toStdString())));
    setWindowIcon(MainIcon());
    m_plot = new CViewerPlot(*m_recording, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(MakeCommandBar());
    layout->addWidget(m_plot, 1);
    layout->addWidget(MakeStatusBar());
    resize(INITIAL_SIZE);
    m_plot->setFocus();
    connect(m_plot, &CViewerPlot::PointedFrameChanged, this, &CLogViewer::ShowReadout);
    // The scan calls this on its own thread.
    m_recording->SetOnProgress([this] { PostScanProgress(); });
}

CLogViewer::~CLogViewer()
{
    if (m_csvWriter.joinable())
        m_csvWriter.join();
    // The plot reads the recording: it goes first. The scan ends while every member it reports
    // to is still there.
    delete m_plot;
    m_recording.reset();
}

QWidget *CLogViewer::MakeCommandBar()
{
    m_commandBar = new QWidget(this);
    auto *row = new QHBoxLayout(m_commandBar);
    row->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char *, void (CLogViewer::*)()> commands[] = {
        {Strings::VIEWER_RELOAD, &CLogViewer::OnReload},
        {Strings::VIEWER_SAVE_ALL_CSV, &CLogViewer::OnSaveAllCsv},
        {Strings::VIEWER_SAVE_VISIBLE_CSV, &CLogViewer::OnSaveVisibleCsv},
        {Strings::VIEWER_SAVE_PICTURE, &CLogViewer::OnSavePicture},
    };
    for (const auto &[caption, handler] : commands) {
        QPushButton *button = CommandButton(caption, m_commandBar);
        connect(button, &QPushButton::clicked, this, handler);
        row->addWidget(button);
    }
    row->addStretch(1);
    row->addWidget(new QLabel(Text(Strings::VIEWER_BIT_LENGTH), m_commandBar));
    m_comboBitLength = new QComboBox(m_commandBar);
    m_comboBitLength->setFocusPolicy(Qt::NoFocus);
    for (const char *label : BIT_LENGTH_LABELS)
        m_comboBitLength->addItem(QString::fromLatin1(label));
    m_comboBitLength->setCurrentIndex(m_code - 1);
    connect(m_comboBitLength, &QComboBox::activated, this, &CLogViewer::OnSelchangeBitLength);
    row->addWidget(m_comboBitLength);
    return m_commandBar;
}

QWidget *CLogViewer::MakeStatusBar()
{
    auto *bar = new QWidget(this);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_readout = new QLabel(bar);
    // The line keeps its height while no frame is under the pointer.
    m_readout->setMinimumHeight(m_readout->fontMetrics().height());
    row->addWidget(m_readout, 1);

    m_csvProgress = new QWidget(bar);
    auto *csvRow = new QHBoxLayout(m_csvProgress);
    csvRow->setContentsMargins(0, 0, 0, 0);
    csvRow->addWidget(new QLabel(Text(Strings::CSV_WRITING), m_csvProgress));
    // How long a CSV file takes is not known beforehand: the bar only shows that work goes on.
    auto *busy = new QProgressBar(m_csvProgress);
    busy->setRange(0, 0);
    busy->setFixedWidth(PROGRESS_WIDTH / 2);
    csvRow->addWidget(busy);
    m_csvProgress->hide();
    row->addWidget(m_csvProgress);

    m_scanProgress = new QProgressBar(bar);
    m_scanProgress->setRange(0, SCAN_PROGRESS_STEPS);
    m_scanProgress->setFormat(Text(Strings::VIEWER_READING));
    m_scanProgress->setFixedWidth(PROGRESS_WIDTH);
    row->addWidget(m_scanProgress);
    return bar;
}

bool CLogViewer::Open(std::string &failure)
{
    if (!m_recording->Open(failure))
        return false;
    OnScanProgress();
    return true;
}

bool CLogViewer::Scanning() const
{
    return !m_scanProgress->isHidden();
}

// The scan reports far more often than the screen shows; one call waits in the queue at most.
void CLogViewer::PostScanProgress()
{
    if (m_progressQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(this, "OnQueuedScanProgress", Qt::QueuedConnection);
}

void CLogViewer::OnQueuedScanProgress()
{
    m_progressQueued = false;
    OnScanProgress();
}

void CLogViewer::OnScanProgress()
{
    const std::int64_t size = m_recording->FileSize();
    const std::int64_t scanned = m_recording->BytesScanned();
    m_scanProgress->setValue(size > 0 ? static_cast<int>(scanned * SCAN_PROGRESS_STEPS / size)
                                      : SCAN_PROGRESS_STEPS);
    m_scanProgress->setVisible(!m_recording->ScanComplete());
    m_plot->RecordingGrew();
    // The frame under the pointer may have just become known, or changed its value.
    ShowReadout(m_plot->PointedFrame());
}

QString CLogViewer::ReadoutText() const
{
    return m_readout->text();
}

void CLogViewer::ShowReadout(std::int64_t frame)
{
    m_readout->setText(Text(::ReadoutText(*m_recording, frame, m_code)));
}

void CLogViewer::OnReload()
{
    m_recording->Reload();
    OnScanProgress();
}

void CLogViewer::OnSelchangeBitLength()
{
    m_code = m_comboBitLength->currentIndex() + 1;
    m_recording->SetBitLengthCode(m_code);
    m_plot->SetBitLengthCode(m_code);
    OnScanProgress();
}

// Beside the log, named after it.
QString CLogViewer::SuggestedFile(const char *suffix) const
{
    return Text(::SuggestedFile(m_path.toStdString(), suffix));
}

void CLogViewer::OnSaveAllCsv()
{
    SaveCsv(0, std::nullopt);
}

void CLogViewer::OnSaveVisibleCsv()
{
    SaveCsv(m_plot->Range().FirstFrame(), m_plot->Range().EndFrame());
}

void CLogViewer::SaveCsv(std::int64_t first, std::optional<std::int64_t> last)
{
    const QString path = ChooseFile(this,
                                    {FileChoice::Save, Text(Strings::CSV_SAVE_CAPTION),
                                     SuggestedFile(".csv"), Text(Strings::CSV_FILE_FILTER)});
    if (path.isEmpty())
        return;
    m_commandBar->setEnabled(false);
    // A short export ends before the bar would be worth showing, as with a long log write.
    QTimer::singleShot(CSV_PROGRESS_DELAY_MS, m_csvProgress, [this] {
        if (WritingCsv())
            m_csvProgress->show();
    });
    m_csvWriter = std::thread(
        [this, first, last, code = m_code, file = QFile::encodeName(path).toStdString()] {
            m_csvWritten = WriteCsvFile(*m_recording, first, last, code, file, m_csvFailure);
            QMetaObject::invokeMethod(this, "OnCsvWritten", Qt::QueuedConnection);
        });
}

void CLogViewer::OnCsvWritten()
{
    m_csvWriter.join();
    m_csvProgress->hide();
    m_commandBar->setEnabled(true);
    if (!m_csvWritten)
        ShowMessageBox(QString::fromStdString(m_csvFailure));
}

void CLogViewer::OnSavePicture()
{
    const QString path = ChooseFile(this,
                                    {FileChoice::Save, Text(Strings::PICTURE_SAVE_CAPTION),
                                     SuggestedFile(".png"), Text(Strings::PICTURE_FILE_FILTER)});
    if (!path.isEmpty() && !m_plot->grab().save(path, "PNG"))
        ShowMessageBox(Text(Strings::PICTURE_CANNOT_WRITE));
}

CLogViewer *OpenLogViewer(const QString &path, QWidget *parent)
{
    auto *viewer = new CLogViewer(path, parent);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    std::string failure;
    if (!viewer->Open(failure)) {
        delete viewer;
        ShowMessageBox(QString::fromStdString(failure));
        return nullptr;
    }
    viewer->show();
    // The main window runs modally and blocks every other window but those it owns: the
    // viewer's window is made one of them, as a dialog's would be. On X11 a window of this kind
    // gets no owner by itself, and one set before it is shown does not last.
    if (parent != nullptr)
        viewer->windowHandle()->setTransientParent(parent->window()->windowHandle());
    return viewer;
}
