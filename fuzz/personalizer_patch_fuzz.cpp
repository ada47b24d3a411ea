// Locates and patches the three start-up texts in arbitrary images; the image
// must keep its size and no read or write may leave it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "personalizer_app.h"

namespace {

class SilentUi final : public tagwright::PersonalizerUi {
  public:
    tagwright::MessageAnswer showMessage(const std::string&, tagwright::MessageIcon,
                                         tagwright::MessageButtons) override {
        return tagwright::MessageAnswer::Ok;
    }
    void pumpMessages() override {}
};

std::string_view takeField(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) {
        const std::string_view field = rest;
        rest = {};
        return field;
    }
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    SilentUi ui;
    tagwright::PersonalizerApp app(ui);
    // Layout: the three search texts and three personal texts, one a line,
    // then the image.
    for (tagwright::TextGroup& group : app.groups) {
        group.searchText = std::string(takeField(rest).substr(0, tagwright::kSearchTextCapacity));
    }
    for (tagwright::TextGroup& group : app.groups) {
        group.personalText =
            std::string(takeField(rest).substr(0, tagwright::kPersonalTextCapacity));
    }
    app.firmwareText = std::string(rest);
    app.firmwareSize = app.firmwareText.size();

    app.locateTitle();
    app.locateText(app.message());
    app.locateText(app.agree());
    for (const tagwright::TextGroup& group : app.groups) {
        int sum = 0;
        for (const std::int16_t room : group.recordRoom) {
            sum += room;
        }
        if (group.charLimit != sum || group.charLimit < 0) {
            std::abort();
        }
    }
    app.patchAll();
    if (app.firmwareText.size() != rest.size()) {
        std::abort();
    }
    return 0;
}
