#pragma once

#include <QTest>

#include "support/isolatedhome.h"

// Qt Test's mains, with a home folder of the test's own (see IsolatedHome) set before the
// application object reads its environment.
#define MELLOWBY_QTEST_MAIN(TestObject)                                                                                \
    QTEST_MAIN_WRAPPER(TestObject, const mellowby::tests::IsolatedHome isolatedHome; QTEST_MAIN_SETUP())
#define MELLOWBY_QTEST_GUILESS_MAIN(TestObject)                                                                        \
    QTEST_MAIN_WRAPPER(TestObject, const mellowby::tests::IsolatedHome isolatedHome; QTEST_QAPP_SETUP(QCoreApplication))
#define MELLOWBY_QTEST_APPLESS_MAIN(TestObject)                                                                        \
    QTEST_MAIN_WRAPPER(TestObject, const mellowby::tests::IsolatedHome isolatedHome;)
