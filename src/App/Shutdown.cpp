#include "App/Shutdown.h"

#include "App/ProgramLog.h"
#include "Catalogue/ItemRoles.h"
#include "Core/DataControl.h"
#include "Core/SettingsControl.h"
#include "Window/FormMain.h"

#include <easylogging++.h>

void Shutdown::run(const FormMain &window, bool catalogueOpened)
{
    if (!catalogueOpened) {
        LOG(ERROR) << "数据库打开失败, 程序退出\n";
        return;
    }
    DataControl::instance().database_close();
    SettingsControl &settings = SettingsControl::instance();
    settings.setLastTypeId(window.catalogue().currentType().data(TypesIdRole).toInt());
    settings.setLastGroupId(window.catalogue().currentGroup().data(GroupsIdRole).toInt());
    if (!settings.setWindowGeometry(window.saveGeometry()))
        LOG(WARNING) << "config.ini 无法写入, 窗口位置未保存";
    ProgramLog::end();
}
