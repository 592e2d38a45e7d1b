#pragma once
// The soundtrack as note data: an A-minor piece in 40 orders of 128 rows that follows the demo's timeline.
#include "it_writer.h"

namespace forge {

constexpr int soundtrackOrders = 40;
constexpr int soundtrackRows = 128;

// Channels of the soundtrack's patterns.
enum SoundtrackChannel {
    chKick, chClap, chSnare, chHat, chOpenHat, chCrash, chBoom, chBass, chPad0, chPad1, chPad2,
    chLead, chLeadHigh, chArp, chRiser, soundtrackChannels
};

// The whole module: instruments synthesised, every order composed.
it::Module composeSoundtrack();

} // namespace forge
