// Every picture the scenes load from data/, with the depth it must have (32 where the scene uses
// its alpha).
#pragma once

#include <map>
#include <string>

namespace testsupport {

inline const std::map<std::string, int> pictureBits = {
    {"text_gfx_zub.tga", 32}, {"text_gfx_presents.tga", 32}, {"text_gfx_ademo.tga", 32},
    {"text_gfx_called.tga", 32}, {"text_gfx_plomvardix.tga", 32}, {"gfx_not.tga", 24},
    {"gfx_supernena.tga", 24}, {"fostarina2.tga", 32}, {"k.tga", 32}, {"bazura.tga", 24},
    {"fordtuneao3.tga", 32}, {"minik.tga", 32}, {"text_laser.tga", 32}, {"cartelin.tga", 32},
    {"zub03.tga", 32}, {"creditosdeverdad.tga", 32}, {"creditos_staff.tga", 32}, {"creditos_ruvo.tga", 32},
    {"creditos_pemi.tga", 32}, {"creditos_aux.tga", 32}, {"creditos_theyhave.tga", 32}, {"greets_1.tga", 32},
    {"greets_2.tga", 32}, {"greets_3.tga", 32}, {"greets_4.tga", 32}, {"epileptics.tga", 32},
    {"allez.tga", 32}, {"fin.tga", 32},
};

}  // namespace testsupport
