#!/usr/bin/env python3
"""Makes the committed word lists resources/words/<case>.txt once, by hand.

Run on a Debian machine with these packages installed (they are not build
dependencies; the lists they give are committed):

  wamerican-small wngerman wfrench witalian wspanish wbrazilian wukrainian
  hunspell-ru hunspell-el hunspell-tr hunspell-tools
  fortunes fortunes-de fortunes-es fortunes-it fortunes-ru fortunes-br
  manpages-de manpages-es manpages-fr manpages-it manpages-pt-br
  manpages-ru manpages-uk manpages-el manpages-tr

Each list holds real words of one language (from a spelling dictionary),
lower case, NFC, one code point per letter, only letters of the language's
lesson groups, ordered from the most to the least frequent: frequency is
counted in running text that Debian ships in that language (fortune cookies,
translated manual pages and translated program messages). Words the text never
uses follow in a fixed pseudo-random order, so no alphabet bias creeps in.

The list keeps, for every lesson level, word length and lesson letter, the
first PER_BUCKET words; the database builder takes its rows from the front.

Usage: tools/make_word_lists.py [output folder, default resources/words]
"""

import collections
import glob
import gzip
import hashlib
import os
import re
import subprocess
import sys
import unicodedata

PER_BUCKET = 400
MAX_LEN = 10

FORTUNES = "/usr/share/games/fortunes"
DICT = "/usr/share/dict"
HUNSPELL = "/usr/share/hunspell"

# The letters each lesson adds; must stay equal to the generators' groups
# (the database validation test checks the built databases against those).
GROUPS = {
    "en": ["etao", "nihsr", "dlum", "wcgf", "ypbvk", "'jxqz"],
    "de": ["enirs", "thadu", "lcgmo", "bwfkz", "vüpäö", "jy'qx"],
    "es": ["eaors", "nldiu", "tcmpb", "hyqgv", "fjzñ", "xwk'"],
    "fr": ["esatn", "iruol", "dcmpv", "éfghqb", "àjxyêzw'", "çkâôîùû"],
    "it": ["aeion", "rltsc", "dumpv", "ghbfz", "q'èòùéì", "ykwjx"],
    "ua": ["оаинв", "іетрс", "лукмд", "пязбгь", "чйхжюш", "цщїєф\u2019"],
    "ru": ["оеаин", "тслрв", "кмпду", "яыьбгз", "чйжхшю", "цщэфъ"],
    "gr": ["τοανι", "ηυςκ", "εσμ", "πωδ", "γθρλ", "χφβξζ"],
    "tr": ["aeinrl", "dıkm", "tuysb", "oüşz", "ghvç", "ğcöpfj"],
    "pr": ["aeosri", "ndumtc", "lpvhgq", "bfãyzá", "éçxjêí", "ówúàkôõâ"],
}

# Real one-letter words; a spelling list also carries bare letters, which are no words,
# and some lists lack the one-letter words.
ONE_LETTER = {
    "en": {"a"},
    "de": set(),
    "es": {"a", "e", "o", "u", "y"},
    "fr": {"a", "à", "y"},
    "it": {"a", "e", "è", "i", "o"},
    "ua": {"а", "в", "з", "і", "й", "о", "у", "я"},
    "ru": {"а", "в", "и", "к", "о", "с", "у", "я"},
    "gr": {"ο", "η", "α"},
    "tr": {"o"},
    "pr": {"a", "e", "o", "é", "à"},
}

# Real words the spelling lists lack, so every lesson letter has words: German
# contractions with an apostrophe (as the running text writes them), Italian loanwords
# with "j", and the colloquial Spanish "pa'" (para), the only apostrophe Spanish writes.
EXTRA = {
    "de": ["ist's", "gibt's", "geht's", "wird's", "wenn's", "war's", "hat's", "wie's"],
    "es": ["pa'", "pa'l", "pa'lante"],
    "it": ["jazz", "jeans", "judo", "jolly", "jeep", "jet", "junior", "jogging"],
}

# Insults, vulgar and sexual words kept out of every list. A word is dropped
# when it equals an entry; entries ending in "*" drop every word that starts
# with them (for languages whose vulgar roots take many endings).
OFFENSIVE = {
    "en": """anal anus arse arsehole ass asses asshole bastard bastards bitch bitches bitchy
        bloody bollocks boner boob boobs bugger bullshit butt butthole clit cock cocks coon
        crap crappy cum cunt cunts damn damned dick dicks dildo dong dyke fag faggot fags fart
        fatso fuck fucked fucker fuckers fucking fucks goddamn gook hell homo horny hooker
        jerk jizz kike nazi negro nigga nigger niggers nude orgasm paki pecker penis piss
        pissed poop porn porno prick pube pussy queer rape raped rapist retard scum semen sex
        sexy shag shit shits shitty skank slut sluts smut spastic sperm spic stupid suck
        sucks tit tits titty turd twat urine vagina wank wanker whore whores wop""",
    "de": """sex sexy porno arsch arschloch arschlöcher bumsen depp fick ficken fickt fotze hure huren
        hurensohn idiot idioten kacke miststück mongo neger nutte nutten penis pimmel pisse
        pissen schlampe scheiße scheisse schwanz schwuchtel spast titten trottel vagina
        verdammt wichser wichsen wixer zicke""",
    "es": """sexo sexy porno cabrón cabron cagar caca carajo chingar chocho cojones coño culo follar gilipollas
        hostia hostias idiota imbécil joder jodido mamón marica maricón mierda negrata
        pendejo polla puta putas puto putos tonto verga zorra""",
    "fr": """sexe sexy porno baise baiser bite bordel bougnoule branler chiant chier con conne connard connasse
        couille couilles cul emmerder enculé enculer foutre garce gouine merde merdique
        nègre nique niquer pd pédé pétasse pisse pute putain putes salaud salope
        tapette""",
    "it": """sesso sexy porno bastardo cagare cavolo cazzata cazzo cazzi coglione coglioni culo fica figa
        finocchio fottere fottuto frocio merda mignotta minchia negro pirla porca porco
        puttana puttane sega stronzo stronzi troia vaffanculo""",
    "ua": """секс секси порно* блядь блять бля гівно гімно дупа жопа курва лайно пизда падло сука суки хуй
        хуйня срака срати сцяти підор підар бляд* їба* йоба* пизд* хуй* хуя* хує* єба*
        підор* підар* мудак* мудил* залуп* курв*""",
    "ru": """секс секси порно* блядь блять бля говно гавно дерьмо жопа пизда сука суки сучка хуй хуйня ссать
        срать мудак педик пидор шлюха гандон бляд* пизд* хуй* хуя* хуе* хуё* еба* ебл* ебу*
        ёба* ебан* мудак* мудил* пидор* пидар* залуп* шлюх* говн* дерьм* манда сучар*""",
    "gr": """σεξ πορνο* μαλακα μαλακας μαλακες μουνι πουτανα πουστη πουστης καυλι γαμω γαμησου σκατα
        μαλακ* γαμ* πουτ* πουστ* μουν* καυλ* σκατ*""",
    "tr": """seks porno amcık amk bok boktan göt götü ibne kahpe orospu pezevenk piç sik sikik sikiş
        siktir yarak yarrak orospu* sikt* sikiş* amcı* yarra* pezeven*""",
    "pr": """sexo sexy porno babaca bosta buceta cacete caralho cu cuzão foda foder fodido merda piroca
        porra puta puto putas putaria rola veado viado xota xoxota""",
}


# Vowel letters: a longer word without any is an abbreviation ("dm", "ст", "κτλ").
VOWELS = {
    "en": "aeiouy", "de": "aeiouyäöü", "es": "aeiouyáéíóú", "fr": "aeiouyéèêëàâîïôûùœ",
    "it": "aeiouyàèéìòù", "pr": "aeiouyáâãàéêíóôõú", "ru": "аеёиоуыэюя", "ua": "аеєиіїоуюя",
    "gr": "αεηιουω", "tr": "aeıioöuü",
}


def vowel_runs(case, word):
    runs, inside = 0, False
    for ch in word:
        vowel = ch in VOWELS[case]
        if vowel and not inside:
            runs += 1
        inside = vowel
    return runs


def lower(case, text):
    if case == "tr":
        text = text.replace("I", "ı").replace("İ", "i")
    return unicodedata.normalize("NFC", text.lower())


def normalise(case, word):
    """The word as the lesson groups write it."""
    word = unicodedata.normalize("NFC", word)
    if case == "ru":
        word = word.replace("ё", "е")
    if case == "ua":
        word = word.replace("'", "\u2019").replace("\u02bc", "\u2019")
    elif case in ("en", "de", "es", "fr", "it", "pr"):
        word = word.replace("\u2019", "'")
    return word


# ---------------------------------------------------------------- dictionaries

def read_lines(path, encoding="utf-8"):
    with open(path, encoding=encoding, errors="replace") as f:
        for line in f:
            yield line.rstrip("\n")


def hunspell_stems(name, encoding):
    lines = read_lines(os.path.join(HUNSPELL, name + ".dic"), encoding)
    next(lines)  # the entry count
    for line in lines:
        yield line.split("/", 1)[0].strip()


def unmunched(name):
    out = subprocess.run(["unmunch", os.path.join(HUNSPELL, name + ".dic"),
                          os.path.join(HUNSPELL, name + ".aff")],
                         capture_output=True, check=True).stdout
    for line in out.decode("utf-8", errors="replace").splitlines():
        yield line.split("/", 1)[0].strip()


DICTIONARIES = {
    "en": ("wamerican-small", lambda: read_lines(os.path.join(DICT, "american-english-small"))),
    "de": ("wngerman", lambda: read_lines(os.path.join(DICT, "ngerman"))),
    "es": ("wspanish", lambda: read_lines(os.path.join(DICT, "spanish"))),
    "fr": ("wfrench", lambda: read_lines(os.path.join(DICT, "french"))),
    "it": ("witalian", lambda: read_lines(os.path.join(DICT, "italian"))),
    "pr": ("wbrazilian", lambda: read_lines(os.path.join(DICT, "brazilian"))),
    "ua": ("wukrainian", lambda: read_lines(os.path.join(DICT, "ukrainian"))),
    "ru": ("hunspell-ru", lambda: unmunched("ru_RU")),
    "gr": ("hunspell-el", lambda: hunspell_stems("el_GR", "iso-8859-7")),
    "tr": ("hunspell-tr", lambda: hunspell_stems("tr_TR", "utf-8")),
}


def dictionary_words(case):
    """Lower-case dictionary words; capitalised entries are names and dropped,
    except German, where every noun is capitalised."""
    words = set()
    for raw in DICTIONARIES[case][1]():
        raw = unicodedata.normalize("NFC", raw.strip())
        if not raw or " " in raw:
            continue
        low = lower(case, raw)
        if raw != low:
            if case != "de":
                continue
            if len(raw) > 1 and raw[1:] != raw[1:].lower():
                continue  # abbreviations like "ABC" or "GmbH"
        words.add(normalise(case, low))
    return words


# ---------------------------------------------------------------- running text

LOCALE = {"de": "de", "es": "es", "fr": "fr", "it": "it", "ua": "uk",
          "ru": "ru", "gr": "el", "tr": "tr", "pr": "pt_BR"}
MANPAGES = {"de": "de", "es": "es", "fr": "fr", "it": "it", "ua": "uk",
            "ru": "ru", "gr": "el", "tr": "tr", "pr": "pt_BR"}


def fortune_files(case):
    def plain(folder):
        for path in sorted(glob.glob(os.path.join(folder, "*"))):
            if os.path.isfile(path) and not os.path.islink(path) \
                    and not path.endswith((".dat", ".u8")):
                yield path
    if case == "en":
        yield from plain(FORTUNES)
    elif case == "pr":
        yield os.path.join(FORTUNES, "brasil")
    elif case in ("de", "es", "it", "ru"):
        yield from plain(os.path.join(FORTUNES, case))


TROFF_ESCAPE = re.compile(r"\\(f[A-Z1-9]|f\[[^]]*\]|\(..|\[[^]]*\]|s[-+]?\d|.)")


def man_text(path):
    with gzip.open(path, "rt", encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith((".", "'")):
                line = line.split(" ", 1)[1] if " " in line else ""
            yield TROFF_ESCAPE.sub(" ", line)


def message_text(path):
    out = subprocess.run(["msgunfmt", path], capture_output=True).stdout
    for line in out.decode("utf-8", errors="replace").splitlines():
        if line.startswith("msgstr") or (line.startswith('"') and line.endswith('"')):
            yield line


def running_text(case):
    sources = []
    for path in fortune_files(case):
        sources.append(read_lines(path))
    if case in MANPAGES:
        for path in sorted(glob.glob(f"/usr/share/man/{MANPAGES[case]}/man*/*.gz")):
            sources.append(man_text(path))
    if case in LOCALE:
        for path in sorted(glob.glob(f"/usr/share/locale/{LOCALE[case]}/LC_MESSAGES/*.mo")):
            sources.append(message_text(path))
    for source in sources:
        yield from source


TOKEN = re.compile(r"[^\W\d_]+(?:['\u2019\u02bc][^\W\d_]+)*")


def frequencies(case):
    counts = collections.Counter()
    for line in running_text(case):
        for token in TOKEN.findall(unicodedata.normalize("NFC", line)):
            counts[normalise(case, lower(case, token))] += 1
    return counts


# ---------------------------------------------------------------- selection

def offensive(case, word):
    for entry in OFFENSIVE[case].split():
        entry = normalise(case, unicodedata.normalize("NFC", entry))
        if entry.endswith("*"):
            if word.startswith(entry[:-1]):
                return True
        elif word == entry:
            return True
    return False


def level_of(groups, word):
    """Index of the last group a letter of the word belongs to; None when a
    letter is in no group."""
    level = -1
    for ch in word:
        found = next((i for i, g in enumerate(groups) if ch in g), None)
        if found is None:
            return None
        level = max(level, found)
    return level


def stable_key(word):
    return hashlib.sha1(word.encode("utf-8")).hexdigest()


def make_list(case):
    groups = GROUPS[case]
    words = dictionary_words(case)
    extra = set(EXTRA.get(case, []))
    words |= extra | ONE_LETTER[case]
    counts = frequencies(case)
    dropped = collections.Counter()
    kept = []
    for w in words:
        if not 1 <= len(w) <= MAX_LEN:
            dropped["length"] += 1
            continue
        if len(w) == 1 and w not in ONE_LETTER[case]:
            dropped["bare letter"] += 1
            continue
        if case == "gr" and w.endswith("σ"):
            dropped["spelling"] += 1
            continue
        if len(w) > 1 and vowel_runs(case, w) == 0:
            dropped["no vowel"] += 1
            continue
        # Greek words of more than one syllable are written with a tonos; without one they
        # are misspelt (or the list's capital forms), so only one-syllable words stay.
        if case == "gr" and vowel_runs(case, w) > 1:
            dropped["spelling"] += 1
            continue
        if level_of(groups, w) is None:
            dropped["letters outside the groups"] += 1
            continue
        if ("'" in w or "\u2019" in w) and counts[w] < 2 and case != "ua" \
                and w not in extra:
            dropped["rare apostrophe form"] += 1
            continue
        if offensive(case, w):
            dropped["offensive"] += 1
            continue
        kept.append(w)
    kept.sort(key=lambda w: (-counts[w], stable_key(w)))

    # Keep the front of every (level, length, lesson letter) bucket.
    taken = collections.Counter()
    out = []
    for w in kept:
        level = level_of(groups, w)
        letters = [ch for ch in set(w) if ch in groups[level]]
        if any(taken[(level, len(w), ch)] < PER_BUCKET for ch in letters):
            for ch in letters:
                taken[(level, len(w), ch)] += 1
            out.append(w)
    return out, dropped, sum(1 for w in out if counts[w] > 0)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources", "words")
    os.makedirs(folder, exist_ok=True)
    for case in GROUPS:
        words, dropped, ranked = make_list(case)
        path = os.path.join(folder, case + ".txt")
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            for w in words:
                f.write(w + "\n")
        os.replace(path + ".tmp", path)
        print(f"{case}: {len(words)} words ({ranked} ranked by running text), "
              f"dropped {dict(dropped)}")


if __name__ == "__main__":
    main()
