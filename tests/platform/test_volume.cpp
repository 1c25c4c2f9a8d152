// The kernel's mount table as the removable volumes read it: blanks escaped, optional fields,
// lines that are not of the form.
#include <gtest/gtest.h>

#include "platform/volume.h"

namespace bv {
namespace {

TEST(Mountinfo, PuntiETipiLetti) {
    const std::string testo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "90 22 8:17 / /media/anna/LA\\040MIA\\040CHIAVE rw,nosuid shared:5 master:2 - vfat /dev/sdb1 rw\n"
        "91 22 0:45 / /run/user/1000/ rw - tmpfs tmpfs rw\n"
        "rotta\n"
        "92 22 x:1 / /mnt rw - ext4 /dev/sdc1 rw\n"
        "93 22 8:33 / /mnt/senza-tipo rw\n";
    const std::vector<Montaggio> m = LeggiMountinfo(testo);
    ASSERT_EQ(m.size(), 3U);
    EXPECT_EQ(m[0].punto, "/");
    EXPECT_EQ(m[1].punto, "/media/anna/LA MIA CHIAVE");
    EXPECT_EQ(m[1].tipo, "vfat");
    EXPECT_EQ(m[1].maggiore, 8U);
    EXPECT_EQ(m[1].minore, 17U);
    EXPECT_EQ(m[2].punto, "/run/user/1000");
}

}  // namespace
}  // namespace bv
