#pragma once
// MWModel: the service's answer envelope. Text members start as nothing (not ""), numbers as 0;
// a failing answer is mapped whole into one of these.

#include "network/NXModel.h"

namespace network {

class MWModel : public NXModel {
    QUILLORA_CLASS(MWModel)

    std::optional<core::Dictionary> data;
    std::optional<std::string> message;
    std::int64_t errcode = 0;
    std::int64_t status = 0;

    const PropertyTable& properties() const override;
};

} // namespace network
