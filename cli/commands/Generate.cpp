#include <ostream>

#include "cli/Terminal.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

namespace {

// 256 short, plain words: one random byte picks one, eight bits each.
constexpr const char* kWords[256] = {
    "able", "acid", "aged", "also", "area", "army", "away", "baby", "back", "ball", "band", "bank",
    "base", "bath", "bear", "beat", "bell", "belt", "best", "bird", "blow", "blue", "boat", "body",
    "bone", "book", "boot", "born", "boss", "both", "bowl", "bulk", "burn", "bush", "busy", "cake",
    "call", "calm", "came", "camp", "card", "care", "cart", "case", "cash", "cast", "cell", "chef",
    "chip", "city", "clay", "club", "coal", "coat", "code", "cold", "come", "cook", "cool", "cope",
    "copy", "core", "corn", "cost", "crew", "crop", "dark", "data", "date", "dawn", "deal", "dear",
    "deck", "deep", "deer", "desk", "dial", "dish", "dock", "door", "dose", "down", "draw", "drew",
    "drop", "drum", "duck", "dust", "duty", "each", "earn", "east", "easy", "edge", "else", "even",
    "ever", "exit", "face", "fact", "fair", "fall", "farm", "fast", "fear", "feel", "fern", "file",
    "fill", "film", "find", "fine", "fire", "firm", "fish", "five", "flag", "flat", "flow", "folk",
    "food", "foot", "ford", "form", "fort", "four", "free", "frog", "fuel", "full", "fund", "gain",
    "game", "gate", "gear", "gift", "girl", "give", "glad", "goal", "gold", "golf", "good", "gray",
    "grew", "grid", "grip", "grow", "gulf", "hair", "half", "hall", "hand", "hang", "hard", "harm",
    "hawk", "head", "hear", "heat", "held", "help", "herb", "hero", "high", "hill", "hint", "hold",
    "hole", "home", "hood", "hook", "hope", "horn", "host", "hour", "huge", "hunt", "idea", "inch",
    "iron", "isle", "item", "jazz", "join", "joke", "jump", "jury", "keen", "keep", "kept", "kick",
    "kind", "king", "kite", "knee", "knew", "knot", "lake", "lamb", "lamp", "land", "lane", "last",
    "late", "lawn", "lead", "leaf", "lean", "left", "lend", "lens", "life", "lift", "like", "lime",
    "line", "link", "lion", "list", "live", "load", "loan", "lock", "loft", "long", "look", "loop",
    "lord", "lose", "loud", "love", "luck", "lung", "made", "mail", "main", "make", "mall", "many",
    "mark", "mask", "mass", "mate", "meal", "meat", "meet", "melt", "menu", "mild", "milk", "mill",
    "mind", "mine", "mint", "miss",
};

// Letters, digits and the symbols that sites commonly accept; no space or quote, so that the
// password can be pasted and quoted anywhere.
constexpr char kCharacters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#$%&()*+,-./:;<=>?@[]^_{|}~";

unsigned char RandomByte() {
    unsigned char byte = 0;
    if (!SecureRandomBytes(&byte, 1)) {
        throw CliError(kExitFailure, "the system's secure random source cannot be read");
    }
    return byte;
}

// A uniform choice among `count` (at most 256): bytes beyond the largest multiple are drawn again.
std::size_t RandomBelow(std::size_t count) {
    const std::size_t limit = 256 - 256 % count;
    for (;;) {
        const std::size_t byte = RandomByte();
        if (byte < limit) {
            return byte % count;
        }
    }
}

}  // namespace

void AddGenerate(CLI::App& app, Commands& commands) {
    struct Options {
        int length = 20;
        int words = 0;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "generate",
                                 "Print a new random password, from the system's secure random "
                                 "source");
    CLI::Option* length =
        sub->add_option("--length", opts->length,
                        "characters: letters, digits and symbols (default 20, about 6.5 bits each)")
            ->check(CLI::Range(4, 1024));
    sub->add_option("--words", opts->words,
                    "instead, N words joined by '-' (8 bits each: 10 words for 80 bits)")
        ->check(CLI::Range(1, 64))
        ->excludes(length);
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        std::string password;
        if (opts->words > 0) {
            for (int i = 0; i < opts->words; ++i) {
                password += (i == 0 ? "" : "-") + std::string(kWords[RandomByte()]);
            }
        } else {
            constexpr std::size_t kCount = sizeof kCharacters - 1;
            for (int i = 0; i < opts->length; ++i) {
                password += kCharacters[RandomBelow(kCount)];
            }
        }
        ctx.out << password << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb
