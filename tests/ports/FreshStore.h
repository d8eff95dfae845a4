#pragma once

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ports/PortConstants.h"
#include "ports/UserSettings.h"

namespace corvanetov {

// A test on an empty per-user store in a private folder: the store's folder
// is fixed at its first use in a process, so the folder is set once, before
// that, and emptied for every test. The user's own settings are never seen.
class FreshStore : public testing::Test {
protected:
    void SetUp() override
    {
        static QTemporaryDir folder;
        static const bool pointed = qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
        ASSERT_TRUE(pointed && folder.isValid());
        ASSERT_TRUE(UserSettings::FileName().startsWith(folder.path())) << UserSettings::FileName().toStdString();
        QSettings store(QSettings::IniFormat, QSettings::UserScope, ports::kStoreOrganization,
                        ports::kStoreApplication);
        store.clear();
        store.sync();
    }
};

} // namespace corvanetov
