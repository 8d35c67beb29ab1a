// The profile each output shows, for the colour-managed programs of the X
// display, as the "ICC Profiles in X" convention (version 0.4) has loaders
// publish it: the bytes of the profile's file in the RandR output's
// property _ICC_PROFILE and in the root window's _ICC_PROFILE (the first
// monitor) or _ICC_PROFILE_n (the n-th, counting from 0), in the order of
// the server's Xinerama screens (RandR's monitors, the primary first), both
// of type CARDINAL and format 8; and _ICC_PROFILE_IN_X_VERSION "0.4" on the
// root window.
//
// Only what this publication wrote is ever taken back: a property that
// holds other bytes (another program's) is left as it is, unless a profile
// is being published for that output. Publishing the bytes already
// published for an output, in a configuration not re-read since, asks
// nothing of the server.
//
// Not thread-safe: the backend's mutex guards it.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

class X11Connection;
struct RandrSnapshot;

class IccPublication {
public:
    explicit IccPublication(X11Connection& connection);

    // `configuration` tells whether the snapshot was re-read since the last
    // publication (a count that grows with every read).
    void publish(const RandrSnapshot& snapshot, unsigned long configuration,
                 const std::string& output, std::span<const std::uint8_t> profile);
    void withdraw(const std::string& output);

private:
    struct Published {
        RROutput output = 0;
        std::vector<std::uint8_t> bytes;
        Atom rootAtom = None;
        unsigned long configuration = 0;
    };

    // The output's place among the Xinerama screens; -1 when it shows none.
    int screenIndex(const RandrSnapshot& snapshot, RROutput output);
    Atom rootAtom(int index);
    // Deletes what holds exactly `bytes` (our publication) and nothing else.
    void deleteOutputPropertyIf(RROutput output, const std::vector<std::uint8_t>& bytes);
    void deleteRootPropertyIf(Atom atom, const std::vector<std::uint8_t>& bytes);
    void setVersion();
    void dropVersionWhenUnused();

    X11Connection& connection_;
    Atom profileAtom_;
    Atom versionAtom_;
    // By output name.
    std::map<std::string, Published> published_;
    // The version atom was written here (it was absent before).
    bool versionWritten_ = false;
};
