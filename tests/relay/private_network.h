// Helpers for tests that need a network of their own or a second process:
// this test binary run again with one test selected, possibly inside
// `unshare -Urmn` (a user, mount and network namespace of its own), where
// the name server is one on loopback that never answers (a lookup there
// hangs for 30 s). POSIX only.
#pragma once

#include <chrono>
#include <string>
#include <vector>

// Set in the helper run, to the role given.
inline constexpr char kHelperVariable[] = "ORVANE_TEST_HELPER";

struct HelperRun {
  int status = -1;  // -1: did not end in time
  std::string out;  // its standard output
};

// This binary again, running `test` (Suite.Name) with kHelperVariable set
// to `role`, after the command `prefix` when not empty.
HelperRun RunHelper(const std::vector<std::string>& prefix, const std::string& test,
                    const std::string& role, std::chrono::seconds timeout);

// The role this process runs as a helper, or empty.
std::string HelperRole();

// "value" from a line "name=value" of a helper's output.
std::string Field(const std::string& out, const std::string& name);

// Whether `unshare -Urmn` works here.
bool PrivateNetworksWork();

// In a private network namespace: brings loopback up.
bool BringLoopbackUp(std::string& error);

// In a private mount namespace: `path` (/etc/hosts, say) reads `content`.
bool ReplaceFile(const std::string& path, const std::string& content, std::string& error);

// In a private network and mount namespace: brings loopback up and makes
// the name server one on 127.0.0.1 that takes queries and never answers.
// False, with `error` set, when a step fails.
bool MakeTheNameServerDead(std::string& error);
