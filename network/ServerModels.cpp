#include "network/ServerModels.h"

#include "network/MWModel.h"

namespace network {

const PropertyTable& MWModel::properties() const {
    static const PropertyTable table = PropertyTable(NXModel::properties())
                                           .dictionary("data", &MWModel::data)
                                           .text("message", &MWModel::message)
                                           .integer("errcode", &MWModel::errcode)
                                           .integer("status", &MWModel::status);
    return table;
}

const PropertyTable& MWMainContentModel::properties() const {
    static const PropertyTable table = PropertyTable(NXModel::properties()).text("title", &MWMainContentModel::title);
    return table;
}

MWMainModel::MWMainModel() {
    static const bool classInitialised = (registerElementClass<MWMainModel, MWMainContentModel>("content"), true);
    (void)classInitialised;
}

const PropertyTable& MWMainModel::properties() const {
    static const PropertyTable table = PropertyTable(NXModel::properties())
                                           .text("color", &MWMainModel::color)
                                           .list("content", &MWMainModel::content)
                                           .text("title", &MWMainModel::title);
    return table;
}

MWMainListModel::MWMainListModel() {
    static const bool classInitialised = (registerElementClass<MWMainListModel, MWMainModel>("list"), true);
    (void)classInitialised;
}

const PropertyTable& MWMainListModel::properties() const {
    static const PropertyTable table = PropertyTable(NXModel::properties())
                                           .text("about_url", &MWMainListModel::about_url)
                                           .list("list", &MWMainListModel::list);
    return table;
}

const PropertyTable& QUAnswerModel::properties() const {
    static const PropertyTable table = PropertyTable(NXModel::properties())
                                           .text("content", &QUAnswerModel::content)
                                           .text("title", &QUAnswerModel::title);
    return table;
}

QUAnswerListModel::QUAnswerListModel() {
    static const bool classInitialised = (registerElementClass<QUAnswerListModel, QUAnswerModel>("list"), true);
    (void)classInitialised;
}

const PropertyTable& QUAnswerListModel::properties() const {
    static const PropertyTable table = PropertyTable(NXModel::properties())
                                           .integer("count", &QUAnswerListModel::count)
                                           .integer("now_page", &QUAnswerListModel::now_page)
                                           .list("list", &QUAnswerListModel::list);
    return table;
}

const PropertyTable& NXServerModel::properties() const {
    static const PropertyTable table = PropertyTable(NXModel::properties())
                                           .integer("status", &NXServerModel::status)
                                           .text("url", &NXServerModel::url)
                                           .text("message", &NXServerModel::message);
    return table;
}

const PropertyTable& MWVersionModel::properties() const {
    static const PropertyTable table = PropertyTable(NXModel::properties())
                                           .text("version_name", &MWVersionModel::version_name)
                                           .text("version_code", &MWVersionModel::version_code)
                                           .text("version_content", &MWVersionModel::version_content)
                                           .text("version_force_code", &MWVersionModel::version_force_code)
                                           .text("version_url", &MWVersionModel::version_url);
    return table;
}

} // namespace network
