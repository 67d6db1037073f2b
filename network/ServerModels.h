#pragma once
// The models that the service's answers are mapped into. Each starts with "" for texts, empty
// lists and 0 for integers. Owners of nested lists register their element classes in the class
// map the first time one of them is created (their class initialiser), which is always before
// one is filled.

#include "network/NXModel.h"

namespace network {

class MWMainContentModel : public NXModel {
    QUILLORA_CLASS(MWMainContentModel)
    std::string title; // one tag's title
    const PropertyTable& properties() const override;
};

class MWMainModel : public NXModel {
    QUILLORA_CLASS(MWMainModel)
    MWMainModel();
    std::string color; // six hexadecimal digits, red green blue
    std::vector<std::shared_ptr<MWMainContentModel>> content;
    std::string title;
    const PropertyTable& properties() const override;
};

class MWMainListModel : public NXModel {
    QUILLORA_CLASS(MWMainListModel)
    MWMainListModel();
    std::string about_url; // path of the about page on the web service
    std::vector<std::shared_ptr<MWMainModel>> list;
    const PropertyTable& properties() const override;
};

class QUAnswerModel : public NXModel {
    QUILLORA_CLASS(QUAnswerModel)
    std::string content; // the suggested answer, with highlight markers
    std::string title;   // the question
    const PropertyTable& properties() const override;
};

class QUAnswerListModel : public NXModel {
    QUILLORA_CLASS(QUAnswerListModel)
    QUAnswerListModel();
    std::int64_t count = 0; // questions for the query in all
    std::int64_t now_page = 0;
    std::vector<std::shared_ptr<QUAnswerModel>> list;
    const PropertyTable& properties() const override;
};

class NXServerModel : public NXModel {
    QUILLORA_CLASS(NXServerModel)
    std::int64_t status = 0; // 1 when the app may use the service
    std::string url;
    std::string message;
    const PropertyTable& properties() const override;
};

// An app-version record; nothing fills or reads it yet.
class MWVersionModel : public NXModel {
    QUILLORA_CLASS(MWVersionModel)
    std::string version_name;
    std::string version_code;
    std::string version_content;
    std::string version_force_code;
    std::string version_url;
    const PropertyTable& properties() const override;
};

} // namespace network
