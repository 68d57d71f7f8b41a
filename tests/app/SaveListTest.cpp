#include <sys/resource.h>

#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <optional>

#include "framework/CFileDialog.h"
#include "framework/ShellFolders.h"
#include "tests/app/MainDialogFixture.h"

namespace {

constexpr const char* kOpenErrorText = "Fehler beim Öffnen der Datei - Speichern wurde abgebrochen";
constexpr const char* kUnsavedText =
    "Es liegen noch ungesicherte Daten vor.\n\nSollen diese vor dem Beenden gespeichert werden?";

class SaveListTest : public MainDialogFixture {
protected:
    void SetUp() override {
        MainDialogFixture::SetUp();
        ASSERT_TRUE(folder.isValid());
        m_previousChooser = SetFileChooser([this](const FileDialogRequest& request) {
            requests.push_back(request);
            EXPECT_FALSE(dialog->IsPolling()) << "polling must pause while the file is chosen";
            return chosen;
        });
    }
    void TearDown() override {
        SetFileChooser(std::move(m_previousChooser));
        MainDialogFixture::TearDown();
    }

    std::string PathIn(const char* name) const { return QDir(folder.path()).filePath(name).toStdString(); }
    void Save() { dialog->SendCommand(res::IDC_SAVE_LIST); }
    void AddRow(uint8_t kind, uint8_t hours, uint8_t minutes, uint8_t seconds, uint16_t milliseconds) {
        driver.Deliver(EventFrame(kind, hours, minutes, seconds, milliseconds));
        Tick();
    }
    static QByteArray Contents(const std::string& path) {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList FolderEntries() const {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    static void WriteFile(const std::string& path, const QByteArray& bytes) {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QTemporaryDir folder;
    std::optional<std::string> chosen;
    std::vector<FileDialogRequest> requests;

private:
    FileChooser m_previousChooser;
};

TEST_F(SaveListTest, FileHoldsExactlyTheListBytes) {
    struct Case {
        const char* name;
        std::vector<std::array<int, 5>> events;
        QByteArray expected;
    };
    const Case cases[] = {
        {"empty list", {}, "Index,Event,Zeit\r\n"},
        {"two rows",
         {{1, 0, 0, 0, 0}, {3, 0, 1, 23, 456}},
         "Index,Event,Zeit\r\n001,Start,00:00:00.000\r\n002,Lap,00:01:23.456\r\n"},
        {"wide fields",
         {{2, 255, 255, 255, 65535}, {0, 100, 0, 0, 7}},
         "Index,Event,Zeit\r\n001,Stopp,255:255:255.65535\r\n002,Fehler,100:00:00.007\r\n"},
    };
    Connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog->SendCommand(res::IDC_CLEAR_LIST);
        for (const auto& e : c.events) {
            AddRow(static_cast<uint8_t>(e[0]), static_cast<uint8_t>(e[1]), static_cast<uint8_t>(e[2]),
                   static_cast<uint8_t>(e[3]), static_cast<uint16_t>(e[4]));
        }
        chosen = PathIn("list.csv");
        boxes.clear();
        Save();
        EXPECT_EQ(Contents(*chosen), c.expected);
        if (!c.events.empty()) {
            EXPECT_EQ(Contents(dialog->JournalPath()), c.expected) << "the journal holds what a save writes";
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Daten wurden gespeichert");
        EXPECT_EQ(boxes[0].caption, "Daten gespeichert");
        EXPECT_EQ(boxes[0].style, MB_ICONINFORMATION);
        EXPECT_FALSE(dialog->HasUnsavedRows());
        EXPECT_TRUE(dialog->IsPolling());
    }
}

TEST_F(SaveListTest, NumberingGoesPastNineHundredNinetyNineInTheFile) {
    Connect();
    for (int i = 0; i < 1001; ++i) {
        AddRow(3, 0, 0, 0, static_cast<uint16_t>(i));
    }
    chosen = PathIn("long.csv");
    Save();
    const QByteArray contents = Contents(*chosen);
    EXPECT_TRUE(
        contents.contains("\r\n999,Lap,00:00:00.998\r\n1000,Lap,00:00:00.999\r\n1001,Lap,00:00:00.1000\r\n"));
    EXPECT_TRUE(contents.endsWith("1001,Lap,00:00:00.1000\r\n"));
    EXPECT_EQ(contents.count("\r\n"), 1002);
}

TEST_F(SaveListTest, DialogIsSetUpForTimeLists) {
    chosen.reset();
    Save();
    ASSERT_EQ(requests.size(), 1u);
    const FileDialogRequest& request = requests[0];
    EXPECT_EQ(request.title, "Speichern unter");
    EXPECT_EQ(request.defaultExt, "csv");
    EXPECT_EQ(request.fileName, "");
    EXPECT_EQ(request.flags, OFN_OVERWRITEPROMPT);
    EXPECT_EQ(request.filterIndex, 1);
    EXPECT_EQ(request.filters, (std::vector<std::pair<std::string, std::string>>{
                                   {"VKX260 Zeitlisten (.csv)", "*.csv"}, {"Alle Dateien (*.*)", "*.*"}}));
    EXPECT_EQ(request.initialDir, GetDocumentsFolder());
}

TEST_F(SaveListTest, RealDialogOpensInAFolderThatExistsShowsTheGivenTypesAndAsksAboutTheFinalName) {
    // Without a documents folder in the home folder, the window starts in the home folder.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", folder.path().toUtf8());
    dialog = std::make_unique<CDIZUravavedVKX260Dlg>(driver);
    const bool created = dialog->Create();
    qputenv("HOME", home);
    ASSERT_TRUE(created);
    EXPECT_EQ(dialog->LastSaveDirectory(), folder.path().toStdString());
    // A remembered folder that is gone since opens the nearest one that still exists.
    chosen = PathIn("stick/deep/list.csv");
    Save();
    WriteFile(PathIn("alt.csv"), "alt");
    SetFileChooser({});
    QString question;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* fileDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(fileDialog, nullptr);
        EXPECT_EQ(fileDialog->directory().absolutePath(), folder.path());
        auto* types = fileDialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        EXPECT_EQ((QStringList{types->itemText(0), types->itemText(1)}),
                  (QStringList{"VKX260 Zeitlisten (.csv)", "Alle Dateien (*.*)"}));
        EXPECT_EQ(fileDialog->findChild<QFileSystemModel*>()->nameFilters(), QStringList{"*.csv"});
        auto* name = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        EXPECT_EQ(name->text(), "");
        // Qt's own texts are German on a system that is not (the tests run in the C locale).
        EXPECT_EQ(fileDialog->findChild<QLabel*>(QStringLiteral("lookInLabel"))->text(), "Suchen in:");
        EXPECT_EQ(fileDialog->findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text(), "Datei&name:");
        EXPECT_EQ(fileDialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(),
                  "Abbrechen");
        // "alt." is written as "alt.csv", so its overwrite question must come; it is answered No.
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            question = box ? box->text() : QStringLiteral("none");
            if (box) {
                buttons = {box->button(QMessageBox::Yes)->text(), box->button(QMessageBox::No)->text()};
                box->done(QMessageBox::No);
            }
        });
        name->setText("alt.");
        static_cast<QDialog*>(fileDialog)->accept();
        if (fileDialog->isVisible()) {
            fileDialog->reject();
        }
    });
    Save();
    ASSERT_TRUE(WaitUntil([&] { return !question.isEmpty(); }));
    EXPECT_TRUE(question.startsWith("Die Datei alt.csv existiert bereits.")) << question.toStdString();
    EXPECT_EQ(buttons, (QStringList{"&Ja", "&Nein"}));
    EXPECT_EQ(Contents(PathIn("alt.csv")), "alt");
    // The dialog keeps no history or state of its own: nothing lands in the settings folder.
    const QStringList settings = QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_TRUE(settings.isEmpty()) << settings.join(", ").toStdString();
}

TEST_F(SaveListTest, NameWithoutExtensionGetsCsvAndOtherExtensionsStay) {
    const std::pair<const char*, const char*> names[] = {
        {"lauf", "lauf.csv"}, {"lauf.", "lauf.csv"}, {"lauf.csv", "lauf.csv"}, {"lauf.txt", "lauf.txt"}};
    for (const auto& [typed, written] : names) {
        chosen = PathIn(typed);
        Save();
        EXPECT_TRUE(QFile::exists(QString::fromStdString(PathIn(written)))) << written;
    }
    EXPECT_EQ(FolderEntries(), (QStringList{"lauf.csv", "lauf.txt"}));
}

TEST_F(SaveListTest, ExistingFileIsReplacedWhole) {
    chosen = PathIn("old.csv");
    WriteFile(*chosen, QByteArray(5000, 'x'));
    Connect();
    AddRow(1, 0, 0, 0, 0);
    Save();
    EXPECT_EQ(Contents(*chosen), "Index,Event,Zeit\r\n001,Start,00:00:00.000\r\n");
    EXPECT_EQ(FolderEntries(), QStringList{"old.csv"});
}

TEST_F(SaveListTest, DirectoryIsRememberedForTheNextSave) {
    QDir(folder.path()).mkdir("sub");
    chosen = PathIn("sub/a.csv");
    Save();
    EXPECT_EQ(dialog->LastSaveDirectory(), PathIn("sub"));
    Save();
    EXPECT_EQ(requests.back().initialDir, PathIn("sub"));

    // A file in the root directory remembers the root itself, whether or not it could be written.
    const std::string rootFile = "/vkx260-save-test-" + std::to_string(::getpid()) + ".csv";
    chosen = rootFile;
    Save();
    QFile::remove(QString::fromStdString(rootFile));
    EXPECT_EQ(dialog->LastSaveDirectory(), "/");
}

TEST_F(SaveListTest, CancelChangesNothingAndResumesPollingOnlyWhenConnected) {
    for (bool connected : {true, false}) {
        SCOPED_TRACE(connected);
        if (connected != driver.IsDeviceOpen()) {
            Connect();
        }
        if (connected) {
            AddRow(1, 0, 0, 0, 0);
        }
        const std::string directory = dialog->LastSaveDirectory();
        chosen.reset();
        boxes.clear();
        Save();
        EXPECT_EQ(dialog->IsPolling(), connected);
        EXPECT_TRUE(dialog->HasUnsavedRows());
        EXPECT_EQ(dialog->LastSaveDirectory(), directory);
        EXPECT_TRUE(boxes.empty());
    }
}

TEST_F(SaveListTest, FileThatCannotBeCreatedLeavesEverythingAsItWas) {
    QDir(folder.path()).mkdir("taken.csv");
    const std::string paths[] = {PathIn("missing/list.csv"), PathIn("taken.csv")};
    Connect();
    AddRow(1, 0, 0, 0, 0);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        chosen = path;
        boxes.clear();
        Save();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kOpenErrorText);
        EXPECT_EQ(boxes[0].caption, "Fehler");
        EXPECT_EQ(boxes[0].style, MB_ICONINFORMATION);
        EXPECT_TRUE(dialog->HasUnsavedRows());
        EXPECT_TRUE(dialog->IsPolling());
        EXPECT_EQ(dialog->LastSaveDirectory(), QFileInfo(QString::fromStdString(path)).path().toStdString());
    }
    EXPECT_EQ(FolderEntries(), QStringList{"taken.csv"});
    EXPECT_TRUE(QFileInfo(QString::fromStdString(PathIn("taken.csv"))).isDir());
}

// Makes every write past the first bytes of a file fail, as a full disk does (root included).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

TEST_F(SaveListTest, WriteFailureKeepsTheOldFileAndLeavesNoTemporaryFile) {
    chosen = PathIn("kept.csv");
    const QByteArray old = "Index,Event,Zeit\r\n001,Start,00:00:00.000\r\n";
    WriteFile(*chosen, old);
    Connect();
    for (int i = 0; i < 2000; ++i) {
        AddRow(3, 0, 0, 0, static_cast<uint16_t>(i));
    }
    {
        const FileSizeLimit limit(4096);
        Save();
    }
    EXPECT_EQ(Contents(*chosen), old);
    EXPECT_EQ(FolderEntries(), QStringList{"kept.csv"});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Disk full while accessing " + *chosen + ".");
    EXPECT_EQ(boxes[0].caption, QCoreApplication::applicationName().toStdString());
    EXPECT_EQ(boxes[0].style, MB_ICONSTOP);
    EXPECT_TRUE(dialog->HasUnsavedRows());
    EXPECT_TRUE(dialog->IsPolling());
}

TEST_F(SaveListTest, ExitGuardNeverLosesUnsavedRows) {
    struct Case {
        const char* name;
        int answer;
        bool chooseFile;  // else the save dialog is cancelled
        bool ends;
        bool fileWritten;
    };
    const Case cases[] = {
        {"yes, saved", IDYES, true, true, true},
        {"yes, save dialog cancelled", IDYES, false, false, false},
        {"no", IDNO, true, true, false},
        {"cancel", IDCANCEL, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        driver.Reset();
        dialog = std::make_unique<CDIZUravavedVKX260Dlg>(driver);
        ASSERT_TRUE(dialog->Create());
        Connect();
        AddRow(1, 0, 0, 0, 0);
        const std::string path = PathIn("exit.csv");
        QFile::remove(QString::fromStdString(path));
        chosen = c.chooseFile ? std::optional<std::string>(path) : std::nullopt;
        answer = c.answer;
        boxes.clear();
        const std::string journal = dialog->JournalPath();
        dialog->SendCommand(IDCANCEL);
        EXPECT_EQ(QFile::exists(QString::fromStdString(journal)), !c.ends);
        ASSERT_GE(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kUnsavedText);
        EXPECT_EQ(boxes[0].caption, "Nicht gespeicherte Daten?");
        EXPECT_EQ(boxes[0].style, MB_YESNOCANCEL);
        EXPECT_EQ(Window()->isVisible(), !c.ends);
        EXPECT_EQ(QFile::exists(QString::fromStdString(path)), c.fileWritten);
        EXPECT_EQ(dialog->HasUnsavedRows(), !c.fileWritten);
        EXPECT_EQ(driver.IsDeviceOpen(), !c.ends);
        EXPECT_EQ(dialog->IsPolling(), !c.ends);
    }
}

TEST_F(SaveListTest, ExitIsAbandonedWhenTheFileCannotBeWritten) {
    Connect();
    AddRow(1, 0, 0, 0, 0);
    answer = IDYES;
    chosen = PathIn("missing/list.csv");
    dialog->SendCommand(res::ID_MENU_EXIT);
    EXPECT_TRUE(Window()->isVisible());
    EXPECT_TRUE(dialog->HasUnsavedRows());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, kOpenErrorText);
}

TEST_F(SaveListTest, RowsArrivingWhileTheQuestionIsShownAreSaved) {
    Connect();
    AddRow(1, 0, 0, 0, 0);
    answer = IDYES;
    chosen = PathIn("late.csv");
    whileBoxShown = [this](const MessageBoxRequest& request) {
        if (request.style == MB_YESNOCANCEL) {
            driver.Deliver(EventFrame(2, 0, 0, 5, 0));
            EXPECT_TRUE(WaitUntil([this] { return Rows().size() == 2; }))
                << "polling goes on during the question";
        }
    };
    dialog->SendCommand(IDCANCEL);
    EXPECT_FALSE(Window()->isVisible());
    EXPECT_EQ(Contents(*chosen), "Index,Event,Zeit\r\n001,Start,00:00:00.000\r\n002,Stopp,00:00:05.000\r\n");
}

TEST_F(SaveListTest, BridgeBackDuringASaveIsPolledOnlyWhenTheSaveEnds) {
    Connect();
    driver.Unplug();
    Tick();
    driver.Reset();
    chosen = PathIn("during.csv");
    whileBoxShown = [this](const MessageBoxRequest&) {
        ASSERT_TRUE(driver.RaiseArrival());
        ASSERT_TRUE(WaitUntil([this] { return driver.IsDeviceOpen(); }));
        EXPECT_FALSE(dialog->IsPolling());
    };
    Save();
    ExpectConnectedState();
}

TEST_F(SaveListTest, SavingKeepsTheNumberingAndClearingAsksNothing) {
    Connect();
    AddRow(1, 0, 0, 0, 0);
    chosen = PathIn("a.csv");
    dialog->SendCommand(res::ID_MENU_SAVE_LIST);
    AddRow(3, 0, 0, 1, 0);
    EXPECT_EQ(Rows().back()[0], "002");
    EXPECT_TRUE(dialog->HasUnsavedRows());
    boxes.clear();
    dialog->SendCommand(res::IDC_CLEAR_LIST);
    EXPECT_TRUE(boxes.empty());
    dialog->SendCommand(IDCANCEL);
    EXPECT_FALSE(Window()->isVisible());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SaveListTest, RowsLeftByAProgramThatWasKilledAreOfferedBack) {
    enum class Documents { Writable, NameTaken, Missing };
    struct Case {
        const char* name;
        int savedRows;  // of the two rows, saved before the kill
        int answer;
        const char* counted;      // what the question says of the rows
        bool unwritable = false;  // this run's journal cannot be written
        Documents documents = Documents::Writable;
    };
    const char* const kNoneSaved = "Es liegen 2 Zeiten vor, die nicht gespeichert wurden.";
    const Case cases[] = {
        {"Ja", 0, IDYES, kNoneSaved},
        {"Nein", 0, IDNO, kNoneSaved},
        {"saved before the kill", 2, IDYES, nullptr},
        {"Ja, and this run's journal cannot be written", 0, IDYES, kNoneSaved, true},
        {"Ja, one row saved before the kill", 1, IDYES,
         "Von den 2 Zeiten der Liste wurde 1 nicht gespeichert."},
        {"Nein, one row saved, the dated name taken", 1, IDNO,
         "Von den 2 Zeiten der Liste wurde 1 nicht gespeichert.", false, Documents::NameTaken},
        {"Nein, and the documents folder is gone", 0, IDNO, kNoneSaved, false, Documents::Missing},
    };
    const QString journals = QDir(stateHome.path()).filePath("vkx260");
    const QByteArray twoRows = "Index,Event,Zeit\r\n001,Start,00:00:00.000\r\n002,Lap,01:02:03.004\r\n";
    // The documents folder is the home folder here, as it is when the home folder has none.
    const QByteArray home = qgetenv("HOME");
    const QString documents = QDir(folder.path()).filePath("home");
    // The program is gone without its normal end; the next one starts.
    const auto restart = [&](const QString& homeFolder = QString()) {
        driver.Reset();
        qputenv("HOME", (homeFolder.isEmpty() ? documents : homeFolder).toUtf8());
        dialog = std::make_unique<CDIZUravavedVKX260Dlg>(driver, journalFiles);
        const bool created = dialog->Create();
        qputenv("HOME", home);
        return created;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.reset();
        QDir(journals).removeRecursively();
        QDir(documents).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(documents));
        ASSERT_TRUE(restart());
        Connect();
        chosen = PathIn("before.csv");
        AddRow(1, 0, 0, 0, 0);
        if (c.savedRows == 1) {
            Save();
        }
        AddRow(3, 1, 2, 3, 4);
        if (c.savedRows == 2) {
            Save();
        }
        const QFileInfo journal(QString::fromStdString(dialog->JournalPath()));
        const QString datedName = "vkx260-" + journal.lastModified().toString("yyyy-MM-dd-HHmmss") + ".csv";
        if (c.documents == Documents::NameTaken) {
            WriteFile(QDir(documents).filePath(datedName).toStdString(), "the operator's own");
        }
        ASSERT_TRUE(
            restart(c.documents == Documents::Missing ? QDir(documents).filePath("gone") : QString()));
        boxes.clear();
        answer = c.answer;
        journalFiles.failing = c.unwritable;
        dialog->OfferUnsavedJournals();
        if (!c.counted) {
            EXPECT_TRUE(boxes.empty());
            EXPECT_TRUE(QDir(journals).isEmpty());
            continue;
        }
        ASSERT_GE(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Wiederherstellung");
        EXPECT_EQ(boxes[0].style, MB_YESNO | MB_ICONQUESTION);
        EXPECT_EQ(boxes[0].text, "Das Programm wurde zuletzt nicht ordnungsgemäß beendet.\n\n" +
                                     std::string(c.counted) + " Soll die Liste wiederhergestellt werden?");
        if (c.answer == IDNO) {
            ASSERT_EQ(boxes.size(), 2u);
            const QString keptFolder = c.documents == Documents::Missing ? journals : documents;
            const QString keptName = c.documents == Documents::NameTaken
                                         ? QString(datedName).replace(".csv", "-2.csv")
                                         : datedName;
            const std::string kept = QDir(keptFolder).filePath(keptName).toStdString();
            EXPECT_EQ(boxes[1].text,
                      "Die Liste wurde nicht wiederhergestellt. Sie ist gespeichert in der Datei\n\n" + kept);
            EXPECT_EQ(Contents(kept), twoRows);
            if (c.documents == Documents::NameTaken) {
                EXPECT_EQ(Contents(QDir(documents).filePath(datedName).toStdString()), "the operator's own");
            }
            EXPECT_EQ(QDir(documents).entryList(QDir::Files | QDir::Hidden).size(),
                      c.documents == Documents::Writable    ? 1
                      : c.documents == Documents::NameTaken ? 2
                                                            : 0)
                << "a temporary file is left behind";
            EXPECT_EQ(QDir(journals).entryList(QDir::Files).size(),
                      c.documents == Documents::Missing ? 1 : 0);
            EXPECT_TRUE(Rows().empty());
            EXPECT_FALSE(dialog->HasUnsavedRows());
            boxes.clear();
            dialog->OfferUnsavedJournals();
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        // After "Ja" the old journal goes once this run's journal is on stable storage.
        ASSERT_TRUE(WaitUntil([&] { return QDir(journals).entryList(QDir::Files).size() == 1; }));
        const QStringList left = QDir(journals).entryList(QDir::Files);
        const std::string leftPath = QDir(journals).filePath(left[0]).toStdString();
        if (c.unwritable) {
            ASSERT_EQ(boxes.size(), 2u);
            EXPECT_EQ(boxes[1].caption, "Sicherung");
            EXPECT_TRUE(left[0].startsWith("vkx260-journal-")) << "the old journal is no longer offered";
            journalFiles.failing = false;
            ASSERT_TRUE(restart());
            boxes.clear();
            dialog->OfferUnsavedJournals();
            EXPECT_EQ(boxes.size(), 1u);
            continue;
        }
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_EQ(leftPath, dialog->JournalPath()) << "the old journal stays";
        EXPECT_EQ(Rows(),
                  (std::vector<Row>{{"001", "Start", "00:00:00:000"}, {"002", "Lap", "01:02:03:004"}}))
            << "saved rows and numbering come back too";
        EXPECT_TRUE(dialog->HasUnsavedRows());
        Connect();
        AddRow(2, 0, 0, 9, 0);
        EXPECT_EQ(Contents(leftPath), twoRows + "003,Stopp,00:00:09.000\r\n");
    }
}

}  // namespace
