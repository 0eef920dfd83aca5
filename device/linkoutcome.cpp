#include "linkoutcome.h"

#include "devicetexts.h"
#include "notation/hextext.h"

namespace larkspur {

std::string failureText(const LinkFailure& failure) {
    const std::string code = hexText(failure.code, 4);
    switch (failure.step) {
    case LinkFailure::Step::CodecWrite:
        return text::kWriteError + code;
    case LinkFailure::Step::CodecRead:
        return text::kReadError + code + text::kReadErrorAdvice;
    case LinkFailure::Step::BoardWrite:
        break;
    }
    return text::kBoardWriteError + code;
}

} // namespace larkspur
