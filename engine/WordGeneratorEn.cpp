#include "engine/WordGeneratorEn.h"

namespace wv {

const std::vector<int>& WordGeneratorEn::lengthWeightsLevel0() const {
    static const std::vector<int> weights{3, 4, 19, 2, 0, 2};
    return weights;
}

const std::vector<int>& WordGeneratorEn::lengthWeightsLevel5() const {
    static const std::vector<int> weights{324, 1571, 2327, 1909, 1179, 880, 713, 455, 289, 171};
    return weights;
}

// Words unsuitable for an exercise: insults and vulgar words.
std::string WordGeneratorEn::filterWords() const {
    return "anal anus arse arsehole ass asses asshole bastard bastards bitch bitches bitchy bloody "
           "bollocks boner boob boobs bugger bullshit butt butthole clit cock cocks coon crap "
           "crappy cum cunt cunts damn damned dick dicks dildo dong dyke fag faggot fags fart "
           "fatso fuck fucked fucker fuckers fucking fucks goddamn gook hell homo horny hooker "
           "jerk jizz kike nazi negro nigga nigger niggers nude orgasm paki pecker penis piss "
           "pissed poop porn porno prick pube pussy queer rape raped rapist retard scum semen sex "
           "sexy shag shit shits shitty skank slut sluts smut spastic sperm spic stupid suck sucks "
           "tit tits titty turd twat urine vagina wank wanker whore whores wop";
}

}  // namespace wv
