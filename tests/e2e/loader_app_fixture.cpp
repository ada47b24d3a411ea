#include "loader_app_fixture.h"

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "e2e_files.h"

namespace zamel::testing {

void LoaderAppFixture::TearDown() {
    if (HasFailure()) printUploadRecords(dir.path());
}

void LoaderAppFixture::startReceiver(std::vector<std::string> arguments) {
    std::vector<std::string> all = {"--dir",
                                    dir.path(),
                                    "--port",
                                    "1",
                                    "--flash-out-each",
                                    dir.file("flash"),
                                    "--erase-ms",
                                    "1",
                                    "--transcript",
                                    dir.file("transcript.txt")};
    all.insert(all.end(), arguments.begin(), arguments.end());
    ASSERT_TRUE(receiver.start(all)) << "receiver-sim did not become ready";
    ui.setClock(&clock);
    ui.setWakeOnInput(true);
    ui.setTickLimit(300);
}

std::vector<std::uint8_t> LoaderAppFixture::transferred(int n) {
    if (receiver.running()) receiver.stop(SIGTERM);
    return flashDumpContents(dir.file("flash-" + std::to_string(n) + ".srec"));
}

bool LoaderAppFixture::transferHappened(int n) {
    if (receiver.running()) receiver.stop(SIGTERM);
    return std::filesystem::exists(dir.file("flash-" + std::to_string(n) + ".srec"));
}

void LoaderAppFixture::setPath(char (&field)[256], const std::string& path) {
    std::snprintf(field, sizeof field, "%s", path.c_str());
}

void LoaderAppFixture::expectStatus(const char* text) {
    ui.expectMessage(text, "STATUS", MessageIcon::Information);
}

}  // namespace zamel::testing
