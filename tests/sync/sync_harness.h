// Two computers whose data folder a sync engine carries, for the tests: side A is this test
// session, side B a second session (scripts/peer.sh) where sync_peer.exe drives a second
// Memovky.exe; two Syncthing devices (scripts/sync-pair.sh) keep a folder of each side in sync.
// Everything lives in the build tree (sync-test/); the scripts' own output goes to harness.log
// there, each device's log to pair/a|b/syncthing.log.
#pragma once
#include "tests/sync/peer_lines.h"
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

enum SyncSide { SIDE_A, SIDE_B };

// The program's data folder on one side, as Windows sees it (both sessions see the host as Z:):
// the subfolder Memovky of the shared folder, which holds Syncthing's marker.
std::string DataFolder(SyncSide side);

// Empties both shared folders (their data folders made anew) and starts the two devices; true
// once they run, are connected and have scanned.
bool StartSyncPair();
// Starts the second session; true once its desktop shows.
bool StartPeerSession();
// Ends the second session and both devices, also what an earlier run that was killed left.
void StopSyncHarness();

// Runs a Windows program (a Unix path) in the second session; what it wrote to its standard
// output, empty when it did not end within the time.
std::string PeerOutput(const std::string& program, const std::vector<std::string>& args, DWORD timeoutMs = 60000);
// Runs sync_peer.exe in the second session with these arguments; a failure says what it printed.
// *lines gets what it printed before its closing "ok".
::testing::AssertionResult RunPeer(const std::vector<std::string>& args, std::vector<std::string>* lines,
                                   DWORD timeoutMs = 60000);
// Its commands, each with what it printed about the note it acted on (texts in the program's
// code page): the program of side B started on DataFolder(SIDE_B), a note added from the tray and
// the text typed, the note with that text packed, its mark dragged, every note, "Konec".
::testing::AssertionResult StartPeerProgram();
::testing::AssertionResult PeerAdd(const std::string& text, PeerNote* added);
::testing::AssertionResult PeerPack(const std::string& text, PeerNote* packed);
::testing::AssertionResult PeerDrag(const std::string& text, int x, int y, PeerNote* dropped);
::testing::AssertionResult PeerList(std::vector<PeerNote>* notes);
::testing::AssertionResult EndPeerProgram();
