#include "hw/IrCodes.h"

namespace velora {

const IrCode IrCodeTable[kIrCodeCount] = {
    {0x80, 1, "RK_MOUSEMODE"}, {0x40, 2, "RK_TVFULLSCREEN"}, {0x48, 3, "RK_CHANNELUP"}, {0xC8, 4, "RK_CHANNELDOWN"},
    {0x28, 5, "RK_VOLUMEUP"},  {0xE8, 6, "RK_VOLUMEDOWN"},   {0xF0, 7, "RK_0"},         {0xC0, 8, "RK_1"},
    {0x20, 9, "RK_2"},         {0xA0, 10, "RK_3"},           {0xE0, 11, "RK_4"},        {0x10, 12, "RK_5"},
    {0x90, 13, "RK_6"},        {0xD0, 14, "RK_7"},           {0x30, 15, "RK_8"},        {0xB0, 16, "RK_9"},
    {0xF8, 17, "RK_CANCEL"},   {0x08, 18, "RK_ENTER"},       {0x60, 19, "RK_RECALL"},   {0x70, 20, "RK_AIRCABLE"},
    {0x88, 21, "RK_VIDEO"},    {0x50, 22, "RK_INC"},         {0xA8, 23, "RK_AUDIO"},    {0x68, 24, "RK_DEC"},
    {0xB8, 25, "RK_WINDOW"},   {0x98, 26, "RK_DOWN"},        {0x58, 27, "RK_ESC"},      {0x38, 28, "RK_TABRIGHT"},
    {0x78, 29, "RK_TABLEFT"},  {0xD8, 30, "RK_MUTE"},        {0x18, 31, "RK_AVSOURCE"},
};

const IrCode* findIrCode(std::uint32_t code)
{
    for (const IrCode& row : IrCodeTable) {
        if (row.code == code) {
            return &row;
        }
    }
    return nullptr;
}

const IrCode* findIrCodeOfKey(std::int32_t key)
{
    for (const IrCode& row : IrCodeTable) {
        if (row.key == key) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace velora
