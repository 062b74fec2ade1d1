// Runs a test again in a child process inside namespaces of its own, where
// it may mount a disk or bind the real race data ports without touching the
// machine or colliding with a screen that runs on it.
#pragma once

#include <QStringList>

// In the test process: runs the current test in a child under
// `unshare NAMESPACES` and takes its outcome (or skips when no such
// namespace can be made here); returns false. In the child: returns true, and
// the test goes on there. A new network namespace gets its loopback brought up.
// Root makes the namespaces directly; anyone else through a user namespace,
// where `InsideAsRealRoot()` is false.
bool InsidePrivateNamespace(const QStringList& namespaces);
bool InsideAsRealRoot();

// From the child: this test cannot be set up here; the parent skips it.
[[noreturn]] void SkipFromInside(const char* reason);
