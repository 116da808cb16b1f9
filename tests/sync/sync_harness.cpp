#include "tests/sync/sync_harness.h"
#include "tests/support/helpers.h"

namespace {

const std::string SCRIPTS = MEMOVKY_SCRIPTS_DIR;
const std::string WORK = MEMOVKY_SYNC_DIR;
const std::string PEER_PROGRAM = MEMOVKY_SYNC_PEER_UNIX_PATH;

// One word for the shell, whatever it holds.
std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string SharedFolder(SyncSide side)
{
    return WORK + (side == SIDE_A ? "/shared-a" : "/shared-b");
}

// A script of ours; true when it succeeded. What it says goes to harness.log.
bool RunScript(const std::string& command, DWORD timeoutMs)
{
    const std::string log = Quoted(WORK + "/harness.log");
    return NativeOutput("mkdir -p " + Quoted(WORK) + " && (" + command + ") >>" + log + " 2>&1 && echo ok", timeoutMs)
        == "ok\n";
}

} // namespace

std::string DataFolder(SyncSide side)
{
    return WindowsPathOfHostFile(SharedFolder(side) + "/Memovky");
}

bool StartSyncPair()
{
    const std::string a = Quoted(SharedFolder(SIDE_A)), b = Quoted(SharedFolder(SIDE_B));
    return RunScript("echo \"== sync test $(date)\" && rm -rf " + a + " " + b + " && mkdir -p " + a + "/Memovky " + b + "/Memovky && "
                     + Quoted(SCRIPTS + "/sync-pair.sh") + " start " + Quoted(WORK + "/pair") + " " + a + " " + b,
                     120000);
}

bool StartPeerSession()
{
    // A fresh prefix is made each time: under load that takes a minute or more.
    return RunScript(Quoted(SCRIPTS + "/peer.sh") + " start " + Quoted(WORK + "/peer"), 300000);
}

void StopSyncHarness()
{
    RunScript(Quoted(SCRIPTS + "/peer.sh") + " stop " + Quoted(WORK + "/peer") + "; "
              + Quoted(SCRIPTS + "/sync-pair.sh") + " stop " + Quoted(WORK + "/pair"), 60000);
}

std::string PeerOutput(const std::string& program, const std::vector<std::string>& args, DWORD timeoutMs)
{
    std::string command = Quoted(SCRIPTS + "/peer.sh") + " run " + Quoted(WORK + "/peer") + " " + Quoted(program);
    for (const std::string& arg : args)
        command += " " + Quoted(arg);
    return NativeOutput(command + " 2>>" + Quoted(WORK + "/harness.log"), timeoutMs);
}

::testing::AssertionResult RunPeer(const std::vector<std::string>& args, std::vector<std::string>* lines,
                                   DWORD timeoutMs)
{
    const std::string output = PeerOutput(PEER_PROGRAM, args, timeoutMs);
    lines->clear();
    for (size_t from = 0; from < output.size();) {
        const size_t end = output.find('\n', from);
        lines->push_back(output.substr(from, end == std::string::npos ? std::string::npos : end - from));
        from = end == std::string::npos ? output.size() : end + 1;
    }
    if (lines->empty() || lines->back() != "ok")
        return ::testing::AssertionFailure() << "sync_peer " << (args.empty() ? "" : args[0]) << " printed: " << output;
    lines->pop_back();
    return ::testing::AssertionSuccess();
}

namespace {

// A command that prints the one note it acted on.
::testing::AssertionResult RunPeerOnNote(const std::vector<std::string>& args, PeerNote* note)
{
    std::vector<std::string> lines;
    ::testing::AssertionResult result = RunPeer(args, &lines);
    if (result && (lines.size() != 1 || !ParsePeerNote(lines[0], note)))
        return ::testing::AssertionFailure() << "sync_peer " << args[0] << " printed no note line";
    return result;
}

} // namespace

::testing::AssertionResult StartPeerProgram()
{
    std::vector<std::string> lines;
    return RunPeer({ "start", DataFolder(SIDE_B) }, &lines);
}

::testing::AssertionResult PeerAdd(const std::string& text, PeerNote* added)
{
    return RunPeerOnNote({ "add", EscapeControls(text) }, added);
}

::testing::AssertionResult PeerPack(const std::string& text, PeerNote* packed)
{
    return RunPeerOnNote({ "pack", EscapeControls(text) }, packed);
}

::testing::AssertionResult PeerDrag(const std::string& text, int x, int y, PeerNote* dropped)
{
    return RunPeerOnNote({ "drag", EscapeControls(text), std::to_string(x), std::to_string(y) }, dropped);
}

::testing::AssertionResult PeerList(std::vector<PeerNote>* notes)
{
    std::vector<std::string> lines;
    ::testing::AssertionResult result = RunPeer({ "list" }, &lines);
    *notes = ParsePeerNotes(lines);
    return result;
}

::testing::AssertionResult EndPeerProgram()
{
    std::vector<std::string> lines;
    return RunPeer({ "end" }, &lines);
}
