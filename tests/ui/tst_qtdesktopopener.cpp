#include <QDir>
#include <QFile>
#include <QTest>

#include "support/qtestmain.h"
#include "support/temporaryfolder.h"
#include "ui/qtdesktopopener.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;

// Runs the opener against a stand-in xdg-open that writes down its arguments and the folder it
// was started in.
class TestQtDesktopOpener : public QObject {
    Q_OBJECT

private:
    tests::TemporaryFolder m_binFolder;
    tests::TemporaryFolder m_workFolder;
    const QDir m_bin { QString::fromStdString(m_binFolder.path()) };
    const QDir m_work { QString::fromStdString(m_workFolder.path()) };
    QByteArray m_path;

    QString recorded() const
    {
        QFile file(m_bin.filePath(u"record"_s));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QFile script(m_bin.filePath(u"xdg-open"_s));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n"
                     "{ pwd; echo \"$#\"; printf '%s\\n' \"$@\"; } > \"$(dirname \"$0\")/record.part\"\n"
                     "mv \"$(dirname \"$0\")/record.part\" \"$(dirname \"$0\")/record\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
        m_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + m_path);
    }

    void cleanupTestCase() { qputenv("PATH", m_path); }

    void init() { QFile::remove(m_bin.filePath(u"record"_s)); }

    void passesTheTargetAsOneArgument()
    {
        // A name that a shell would split, expand and run.
        const std::string target = m_work.path().toStdString() + "/a b; touch pwned $(id) `id` \"q\".txt";
        const std::string working = m_work.path().toStdString() + "/";
        QtDesktopOpener opener;
        QVERIFY(opener.open(target, working).has_value());
        QTRY_VERIFY(!recorded().isEmpty());
        QCOMPARE(
            recorded(), QDir(m_work.path()).canonicalPath() + u"\n1\n"_s + QString::fromStdString(target) + u"\n"_s);
        QVERIFY(!QFile::exists(m_work.filePath(u"pwned"_s)));
    }

    void webAddressAndADashName()
    {
        QtDesktopOpener opener;
        QVERIFY(opener.open("https://mellowby.example.org/", "").has_value());
        QTRY_VERIFY(recorded().endsWith(u"\n1\nhttps://mellowby.example.org/\n"_s));

        init();
        QVERIFY(opener.open("--help", m_work.path().toStdString()).has_value());
        QTRY_VERIFY(recorded().endsWith(u"\n1\n./--help\n"_s));
    }

    void noXdgOpenIsAnError()
    {
        const tests::TemporaryFolder empty;
        qputenv("PATH", QByteArray::fromStdString(empty.path()));
        const auto opened = QtDesktopOpener().open("/tmp/x.txt", "/tmp/");
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + m_path);
        QVERIFY(!opened.has_value());
        QCOMPARE(opened.error().number, 0);
        QCOMPARE(QString::fromStdString(opened.error().description), u"无法启动 xdg-open 打开“/tmp/x.txt”。"_s);
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_GUILESS_MAIN(mellowby::ui::TestQtDesktopOpener)
#include "tst_qtdesktopopener.moc"
