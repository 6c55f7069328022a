#pragma once

// Parts of tests that need an ordinary user's permissions: a folder that refuses new files, a
// file that is read-only, a folder that cannot be listed. The superuser passes every such check,
// so under root the part runs in a child that has given up root for an unprivileged account;
// under an ordinary user it runs in a child that stays that user. Either way the suite runs every
// row, whoever starts it.
//
//   QVERIFY(HandOverToOrdinaryUser(work->path()));  // what the part must reach
//   QVERIFY(RunAsOrdinaryUser([&] {
//       QVERIFY(!SaveSomething(lockedFolder));      // QVERIFY/QCOMPARE as anywhere; no QSKIP
//   }));
//
// The child cannot reach a build folder inside a home folder of mode 0700, so it starts a copy
// of the image worker kept in /tmp (KAVENRA_IMAGE_WORKER).

#include <sys/types.h>

#include <QString>
#include <functional>

namespace kavenra::testing {

struct OrdinaryUser {
    uid_t uid = 0;
    gid_t gid = 0;
};

// The user a part runs as: this process's own when it is not the superuser, else "nobody"
// (65534 where the system does not name it).
OrdinaryUser OrdinaryUserForTests();

// Makes `folder` and everything under it the ordinary user's, so that the part can work there;
// nothing to do when the tests already run as that user.
bool HandOverToOrdinaryUser(const QString& folder);

// For tests without windows (see RowNeedsAnotherUser for the others). Runs `part` in a forked
// child as the ordinary user and returns whether it passed: it failed
// when a check in it failed, when it crashed, or when the child could not take that identity.
// The child's own messages say which check. Its changes to this process's memory are lost.
[[nodiscard]] bool RunAsOrdinaryUser(const std::function<void()>& part);

// For a test of windows, whose painting threads a forked copy would lack (it would wait for them
// for ever): true when this process is the superuser, and the running row must then be run with
// RerunRowAsOrdinaryUser; false when the row can run here, as the ordinary user it needs.
//
//   if (RowNeedsAnotherUser()) {
//       QVERIFY(RerunRowAsOrdinaryUser());
//       return;
//   }
bool RowNeedsAnotherUser();

// Runs the current test function's current row in a new copy of this test executable (kept in
// /tmp, with the worker) as the ordinary user; its output goes to this one's. True when it passed.
[[nodiscard]] bool RerunRowAsOrdinaryUser();

// A copy of the image worker that any user may run, made on first use and removed at exit.
QString WorkerAnyUserMayRun();

}  // namespace kavenra::testing
