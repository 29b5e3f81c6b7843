#pragma once
// Two echo targets reachable from the test process's own network namespace,
// for end-to-end tests of a whole sweep:
//
//   this namespace -- veth -- router namespace -- veth -- host namespace
//                                (forwards)              answering + silent
//
// The host namespace's kernel answers both of its addresses, but the router
// drops everything for the silent one (a blackhole route: no answer, no
// report), until set_silent_answers(true) lifts that route.
//
// Addresses come from 198.19.0.0/16, which exists only in these namespaces.
// Each world holds a lock on its own block of addresses, so test programs
// running side by side never share one. Root and iproute2 are needed:
//
//   EchoWorld world;
//   if (!world.ok())
//       GTEST_SKIP() << world.why_not();
#include <string>

class EchoWorld {
  public:
    EchoWorld();
    ~EchoWorld();
    EchoWorld(const EchoWorld&) = delete;
    EchoWorld& operator=(const EchoWorld&) = delete;

    bool ok() const { return ok_; }
    const std::string& why_not() const { return why_not_; }

    // dotted texts, as stored in the target list
    std::string answering_address() const;
    std::string silent_address() const;

    // true: the silent address answers from now on; false: silent again.
    bool set_silent_answers(bool answers);

  private:
    bool build();
    void tear_down();
    std::string net(int offset) const; // "198.19.<4 * block + offset>."
    bool step(const std::string& command);

    int block_ = -1;
    int lock_fd_ = -1;
    bool ok_ = false;
    std::string why_not_;
    std::string tag_; // names of the links and namespaces
};
