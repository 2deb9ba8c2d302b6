// Fuzz target for the text form read by build. A document build accepts must come back byte for
// byte through export and build; a refusal must name a JSON path and say what is wrong, with no
// control character of the input in the message.

#include <cstring>

#include "store/config_image.h"
#include "store/text_form.h"
#include "text_fuzz.h"

using namespace kbcfg;
using namespace kbcfg::store;

KBCFG_TEXT_TARGET(textFormFuzz) {
    // Reused: an image is 1.7 MB.
    static ConfigImage* image = new ConfigImage;
    static ConfigImage* again = new ConfigImage;
    static ConfigImage* scratch = new ConfigImage;
    const textform::BuildResult result =
        textform::buildText(fuzz::textOf(data, size), *image, *scratch);
    if (!result.ok) {
        fuzz::require(result.path.starts_with("$") && !result.message.empty());
        fuzz::require(fuzz::printableMessage(result.path + result.message));
        return 0;
    }
    fuzz::require(image->checksum() == image->computeChecksum());
    const std::string text = textform::exportText(*image, true);
    const textform::BuildResult rebuilt = textform::buildText(text, *again, *scratch);
    fuzz::require(rebuilt.ok && rebuilt.withPasswords);
    fuzz::require(
        std::memcmp(image->bytes().data(), again->bytes().data(), image->bytes().size()) == 0);
    return 0;
}
