#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

#include <QTest>
#include <QThread>

#include "fakes/fakemessagebox.h"
#include "support/qtestmain.h"
#include "ui/guithreadmessagebox.h"

namespace mellowby::ui {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageRequest;

namespace {

const MessageRequest kQuestion { "当前文件已存在，是否覆盖？", "生成xml文件", MessageIcon::Warning,
    MessageButtons::YesNo };

// Notes the thread each box comes up on, and can fail as a broken box would.
class ThreadNotingBox final : public platform::IMessageBox {
public:
    MessageAnswer show(const MessageRequest& request) override
    {
        threads.push_back(QThread::currentThread());
        if (fail)
            throw std::runtime_error("no display");
        return inner.show(request);
    }
    std::optional<std::string> prompt(
        const std::string& text, const std::string& title, const std::string& defaultText) override
    {
        threads.push_back(QThread::currentThread());
        return inner.prompt(text, title, defaultText);
    }

    fakes::FakeMessageBox inner;
    std::vector<QThread*> threads;
    bool fail = false;
};

// Runs call on a thread of its own while this one goes on with its events.
template <typename Call> auto onWorker(Call call)
{
    auto result = std::async(std::launch::async, call);
    const bool ready
        = QTest::qWaitFor([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000);
    if (!ready)
        qFatal("the worker never got its answer");
    return result.get();
}

} // namespace

class TestGuiThreadMessageBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onTheGuiThreadTheBoxIsCalledDirectly()
    {
        ThreadNotingBox target;
        target.inner.queueAnswer(MessageAnswer::Yes);
        GuiThreadMessageBox box(target);
        QCOMPARE(box.show(kQuestion), MessageAnswer::Yes);
        QCOMPARE(target.threads, std::vector<QThread*> { QThread::currentThread() });
    }

    void aWorkersBoxComesUpOnTheGuiThreadAndTheWorkerGetsTheAnswer()
    {
        ThreadNotingBox target;
        target.inner.queueAnswer(MessageAnswer::Yes);
        target.inner.queuePromptAnswer("Disc");
        GuiThreadMessageBox box(target);
        QCOMPARE(onWorker([&] { return box.show(kQuestion); }), MessageAnswer::Yes);
        QCOMPARE(onWorker([&] { return box.prompt("请输入该盘名称:", "Mellowby", ""); }),
            std::optional<std::string>("Disc"));
        QCOMPARE(target.threads, (std::vector<QThread*> { QThread::currentThread(), QThread::currentThread() }));
        QCOMPARE(target.inner.shown, std::vector<MessageRequest> { kQuestion });
    }

    void whatTheBoxThrowsReachesTheWorker()
    {
        ThreadNotingBox target;
        target.fail = true;
        GuiThreadMessageBox box(target);
        const std::string thrown = onWorker([&] {
            try {
                box.show(kQuestion);
            } catch (const std::runtime_error& failure) {
                return std::string(failure.what());
            }
            return std::string();
        });
        QCOMPARE(thrown, "no display");
    }

    // The GUI thread waits for a worker that waits for a box: the box is dismissed, not shown.
    void whileDismissingAWaitingWorkerIsAnsweredWithoutABox()
    {
        ThreadNotingBox target;
        target.inner.queueAnswer(MessageAnswer::Yes);
        GuiThreadMessageBox box(target);
        std::atomic<bool> asking = false;
        auto answer = std::async(std::launch::async, [&] {
            asking = true;
            return box.show(kQuestion);
        });
        while (!asking)
            std::this_thread::yield();
        box.setDismissing(true);
        while (answer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            box.deliverQueued();
        QCOMPARE(answer.get(), MessageAnswer::No);
        QVERIFY(target.threads.empty());

        // Also on the GUI thread itself, and for the prompt.
        QCOMPARE(box.show({ "x", "Mellowby", MessageIcon::None, MessageButtons::Ok }), MessageAnswer::Ok);
        QCOMPARE(box.prompt("a", "b", "c"), std::nullopt);
        QVERIFY(target.threads.empty());
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_GUILESS_MAIN(mellowby::ui::TestGuiThreadMessageBox)
#include "tst_guithreadmessagebox.moc"
