#pragma once

// What the tests of the generation dialog share: the dialog opened over a program of its own, with
// the lister, settings and drives a test chooses, its controls by name, and a small tree to scan.

#include "addnewprogram.h"

#include <memory>
#include <string>
#include <vector>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "fakes/fakedirectorylister.h"
#include "support/dates.h"
#include "support/temporaryfolder.h"
#include "ui/frmaddnew.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;

inline const QString kWorking = u"正在生成磁盘列表文件，请稍候..."_s;
inline const QString kGenerated = u"磁盘列表文件已生成！"_s;

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline std::vector<std::string> rootLabels(const browse::CatalogBrowser& browser)
{
    std::vector<std::string> labels;
    for (const auto root : browser.tree().roots())
        labels.push_back(browser.tree().label(root));
    return labels;
}

// The base of each test class (after QObject), whose slots call useOwnConfigHome, makeTree and
// closeDialog from initTestCase, init and cleanup.
class AddNewDialogTest {
protected:
    void open(platform::IDirectoryLister& lister, app::Settings settings = {}, std::vector<platform::Drive> drives = {})
    {
        m_program = std::make_unique<tests::AddNewProgram>(lister);
        m_program->context.settings = std::move(settings);
        m_program->setDrives(std::move(drives));
        reopen();
    }
    void reopen()
    {
        m_dialog.reset();
        m_dialog = std::make_unique<frmAddNew>(m_program->context, m_program->browser);
        m_dialog->show();
    }

    template <typename Widget = QWidget> Widget* control(const QString& name) const
    {
        return m_dialog->findChild<Widget*>(name);
    }
    QComboBox* cmbDisk() const { return control<QComboBox>(u"cmbDisk"_s); }
    QPushButton* cmdGenXml() const { return control<QPushButton>(u"cmdGenXml"_s); }
    QPushButton* cmdSaveOption() const { return control<QPushButton>(u"cmdSaveOption"_s); }
    QLabel* lblShow() const { return control<QLabel>(u"lblShow"_s); }

    // Presses the generate button and waits for the walk it starts, if any, to end.
    bool generate()
    {
        cmdGenXml()->click();
        return QTest::qWaitFor([this] { return !m_dialog->generating(); }, 10000);
    }

    tests::AddNewProgram& program() { return *m_program; }

    std::unique_ptr<tests::AddNewProgram> m_program;
    std::unique_ptr<frmAddNew> m_dialog;
    fakes::FakeDirectoryLister m_tree;

    // The desktop's folder dialog keeps its history in the user's settings: here, in a folder
    // of the test's own.
    tests::TemporaryFolder m_configHome;

    void useOwnConfigHome() { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_configHome.path())); }

    void makeTree()
    {
        m_tree = fakes::FakeDirectoryLister();
        m_tree.addDirectory("/data/photos",
            { fakes::FakeDirectoryLister::file("a.txt", 10, tests::kMarch15),
                fakes::FakeDirectoryLister::directory("sub", tests::kMarch15) });
        m_tree.addDirectory("/data/photos/sub", { fakes::FakeDirectoryLister::file("b.jpg", 2048, tests::kMarch15) });
    }

    void closeDialog()
    {
        m_dialog.reset();
        m_program.reset();
    }
};

} // namespace mellowby::ui
