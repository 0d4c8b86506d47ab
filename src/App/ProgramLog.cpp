#include "App/ProgramLog.h"

#include <QCoreApplication>
#include <QString>

#include "Core/PrivateFiles.h"
#include "Core/SettingsControl.h"

#include <easylogging++.h>

void ProgramLog::start()
{
    el::Configurations conf;
    conf.setToDefault();
    conf.setGlobally(el::ConfigurationType::Format, "%datetime{%H:%m:%s} | %level | %msg");
    conf.setGlobally(el::ConfigurationType::Filename, "../cache/log/%datetime{%Y%M%d}.log");
    conf.setGlobally(el::ConfigurationType::Enabled, "true");
    conf.setGlobally(el::ConfigurationType::ToFile, "true");
    el::Loggers::reconfigureAllLoggers(conf);
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    // A new day's file is made as the library makes files, open to everyone.
    PrivateFiles::restrict(QString::fromStdString(
        el::Loggers::getLogger("default")->typedConfigurations()->filename(el::Level::Info)));

    LOG(INFO) << "Quiver version:" << QCoreApplication::applicationVersion();
    LOG(INFO) << "Mode:Release";
    setDetail(SettingsControl::instance().isLogEnabled());
}

void ProgramLog::setDetail(bool all)
{
    for (const el::Level level : {el::Level::Info, el::Level::Debug})
        el::Loggers::reconfigureAllLoggers(level, el::ConfigurationType::Enabled,
                                           all ? "true" : "false");
}

void ProgramLog::end()
{
    setDetail(true);
    LOG(INFO) << "正常退出\n";
}
