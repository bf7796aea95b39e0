// Throughput of to_lower_full_into (into a buffer made once, as the scorer
// uses it) on 1 MiB of prose in five scripts, against memcpy of the same
// buffer in the same run. Besides the first paragraphs
// (about 11% of their letters capitals), Greek and Cyrillic come as longer
// prose with about 7% capitals (sentence starts, names, a few words in
// capitals, Σ ending some of them) and as that prose already lowercased.
// Those repeat one paragraph, which a branch predictor learns; the "Varied"
// texts are 1 MiB of sentences drawn from a few hundred words by a seeded
// generator, so that no stretch repeats: sentence starts capitalised, one
// word in twelve in capitals (Greek ones often ending in Σ, many with
// accented capitals), punctuation and paragraph breaks. Chinese (with
// fullwidth punctuation) and English with emoji are drawn the same way.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/allocation.h"
#include "scoring/lowercase/to_lower_full.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {
namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

// Repeats `paragraph` up to 1 MiB, cut at a code point boundary.
std::string mebibyte_of(std::string_view paragraph) {
  std::string text;
  while (text.size() < kBufferBytes) text += paragraph;
  std::size_t end = kBufferBytes;
  while ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

const std::string& ascii_prose() {
  static const std::string text = mebibyte_of(
      "The Quick Brown Fox jumps over the lazy dog. In 1897 the GREAT EXHIBITION opened in "
      "Brussels, and visitors from Paris, London and Berlin came by train to see it. "
      "\"Nothing like it,\" wrote one reporter, \"has been seen in Europe since 1851.\" ");
  return text;
}

const std::string& greek_prose() {
  static const std::string text = mebibyte_of(
      "Η Ελλάδα είναι χώρα της νοτιοανατολικής Ευρώπης, στο νότιο άκρο της Βαλκανικής "
      "χερσονήσου. Η ΑΘΗΝΑ είναι η πρωτεύουσα και η μεγαλύτερη πόλη της χώρας, ενώ η "
      "Θεσσαλονίκη είναι η δεύτερη. Ο ΟΔΥΣΣΕΥΣ και ο Αχιλλέας είναι ήρωες του Ομήρου. ");
  return text;
}

const std::string& cyrillic_prose() {
  static const std::string text = mebibyte_of(
      "Москва — столица и крупнейший город России, расположенный на реке Москве. "
      "В ГОРОДЕ находятся Кремль, Красная площадь и Большой театр. Александр Пушкин "
      "и Лев Толстой жили и работали здесь. Метро открыли в 1935 году. ");
  return text;
}

const std::string& greek_capitals_prose() {
  static const std::string text = mebibyte_of(
      "Ο Παρθενώνας είναι ναός της θεάς Αθηνάς στην Ακρόπολη και χτίστηκε τον πέμπτο αιώνα "
      "με σχέδια του Ικτίνου και του Καλλικράτη, ενώ τα γλυπτά του επιμελήθηκε ο Φειδίας. "
      "Σήμερα οι επισκέπτες ανεβαίνουν τον λόφο από νωρίς το πρωί για να δουν τους κίονες "
      "στο φως του ήλιου. Στο ΜΟΥΣΕΙΟ ΤΗΣ ΑΚΡΟΠΟΛΗΣ εκτίθενται τα αγάλματα που βρέθηκαν "
      "στις ανασκαφές των τελευταίων δεκαετιών. Οι φιλόσοφοι της πόλης συζητούσαν στην "
      "αγορά για τη δικαιοσύνη και την αρετή. ");
  return text;
}

const std::string& cyrillic_capitals_prose() {
  static const std::string text = mebibyte_of(
      "Москва — столица России и крупнейший город страны, расположенный на берегах реки "
      "Москвы в центре европейской части. Здесь находятся Кремль, Красная площадь и "
      "Большой театр, а по улицам каждый день проходят тысячи людей. В ГОСУДАРСТВЕННОМ "
      "МУЗЕЕ хранятся картины и рукописи, собранные за несколько столетий. Зимой в городе "
      "идёт снег, и жители катаются на коньках в парках. Метро открыли в 1935 году, и "
      "теперь его станции считаются одними из самых красивых в мире. ");
  return text;
}

// Words of running prose, lowercase, separated by spaces.
constexpr std::u32string_view kGreekWords =
    U"και το της του η ο να στο με για που τα από την είναι δεν θα σε στην των τον ένα μια "
    U"αλλά όταν πολύ όλα εδώ εκεί μετά πριν ήταν έχει λόγος άνθρωπος χρόνος ημέρα νύχτα "
    U"θάλασσα ουρανός ήλιος φως πόλη χωριό σπίτι δρόμος οδός γλώσσα λέξη βιβλίο σχολείο "
    U"δάσκαλος μαθητής φίλος οικογένεια μητέρα πατέρας παιδιά νερό ψωμί κρασί λάδι ελιά "
    U"δέντρο βουνό ποτάμι νησί καράβι λιμάνι αέρας φωτιά γη ιστορία πολιτεία νόμος δίκη "
    U"αλήθεια ψυχή σώμα καρδιά μάτια χέρια πόδια κεφαλή μεγάλος μικρός καλός κακός νέος "
    U"παλιός ωραίος γρήγορα αργά σήμερα αύριο χθες εγώ εσύ αυτός αυτή αυτό εμείς εσείς "
    U"αυτοί ποιος ποια πώς γιατί πού πότε τώρα ακόμα πάντα ποτέ ίσως μόνο επίσης λοιπόν "
    U"όμως ενώ αφού μέχρι χωρίς μαζί κάτω πάνω μέσα έξω δίπλα μπροστά πίσω κοντά μακριά "
    U"λέει έλεγε κάνει έκανε βλέπει είδε ξέρει θέλει μπορεί πρέπει πηγαίνει ήρθε έφυγε "
    U"μένει γράφει διαβάζει ακούει μιλά τρώει πίνει δουλεύει ζει αγαπά περιμένει βρίσκει "
    U"έδωσε πήρε άνοιξε έκλεισε αγορά εκκλησία ναός θεός θεά βασιλιάς στρατός πόλεμος "
    U"ειρήνη ελευθερία δημοκρατία κυβέρνηση βουλή λαός έθνος κόσμος γυναίκα άντρας κορίτσι "
    U"αγόρι γέρος γιαγιά παππούς αδελφός αδελφή θείος ξένος γείτονας γιατρός ποιητής "
    U"συγγραφέας ζωγράφος ναύτης ψαράς αγρότης έμπορος δικαστής στρατιώτης ήρωας αστέρι "
    U"φεγγάρι σύννεφο βροχή χιόνι άνεμος καιρός άνοιξη καλοκαίρι φθινόπωρο χειμώνας πρωί "
    U"βράδυ μεσημέρι εβδομάδα μήνας έτος αιώνας ώρα στιγμή αρχή τέλος μέρος τόπος χώρα "
    U"επαρχία κάμπος ακτή παραλία κύμα βράχος σπηλιά πηγή λίμνη δάσος λιβάδι κήπος αμπέλι "
    U"χωράφι σιτάρι λουλούδι πουλί αετός λύκος σκύλος γάτα ψάρι σκέψη ιδέα γνώση σοφία "
    U"τέχνη μουσική τραγούδι χορός θέατρο ποίηση επιστήμη γράμμα εφημερίδα φωνή όνομα "
    U"πρόσωπο χαμόγελο δάκρυ φόβος ελπίδα χαρά λύπη αγάπη πίστη τιμή δόξα δύναμη άσπρος "
    U"μαύρος κόκκινος πράσινος γαλάζιος χρυσός ψηλός χαμηλός βαθύς πλατύς στενός ζεστός "
    U"κρύος γλυκός πικρός ήσυχος άγριος φτωχός πλούσιος δυνατός σοφός τρελός όμορφος "
    U"άσχημος ελληνικός αρχαίος σύγχρονος δημόσιος δύο τρία τέσσερα πέντε έξι επτά οκτώ "
    U"εννέα δέκα εκατό χίλια πρώτος δεύτερος τρίτος τελευταίος προϊόν ευτυχισμένος της "
    U"τους τις στους στις σας μας σου σαν πολλούς όσοι ώστε ανθρώπους χρόνους δρόμους φίλους "
    U"θεούς ήρωες αγώνας αγώνες κόσμους νόμους λαούς στρατούς πόλεις χώρες θάλασσες της τους";

constexpr std::u32string_view kCyrillicWords =
    U"и в не на я что он с как а то все она так его но да ты к у же вы за бы по только ее "
    U"мне было вот от меня ещё нет о из ему теперь когда даже ну вдруг ли если уже или ни "
    U"быть был него до вас нибудь опять уж вам ведь там потом себя ничего ей может они тут "
    U"где есть надо ней для мы тебя их чем была сам чтоб без будто чего раз тоже себе под "
    U"будет тогда кто этот того потому этого какой совсем ним здесь этом один почти мой "
    U"тем чтобы нее сейчас были куда зачем всех никогда можно при наконец два об другой "
    U"хоть после над больше тот через эти город дом улица река лес поле море небо солнце "
    U"земля вода огонь слово книга школа учитель друг семья мать отец дети хлеб время "
    U"жизнь человек работа страна народ государство правительство закон война мир история "
    U"память голос лицо глаза рука нога голова сердце душа ум сила власть деньги товарищ "
    U"брат сестра сын дочь жена муж бабушка дедушка сосед врач писатель поэт художник "
    U"солдат крестьянин купец судья князь царь церковь площадь дорога мост берег остров "
    U"гора степь сад двор окно дверь стол стул комната кухня письмо газета журнал песня "
    U"музыка театр картина утро вечер ночь день неделя месяц год век зима весна лето осень "
    U"снег дождь ветер облако звезда луна птица лошадь собака кошка рыба волк медведь "
    U"дерево цветок трава большой маленький хороший плохой новый старый молодой красивый "
    U"белый чёрный красный зелёный синий высокий низкий длинный короткий тёплый холодный "
    U"тихий громкий быстрый медленный русский московский городской народный говорить "
    U"сказал знать думать видеть смотреть идти пришёл ушёл жить любить работать читать "
    U"писать слушать ждать стоять сидеть лежать понимать помнить хотеть мочь делать "
    U"сделать взять дать открыть закрыть всё её идёт ёлка";

// The capital of a Greek or Cyrillic small letter (ς to Σ, accented ones to
// accented capitals); other code points stay.
constexpr std::u32string_view kChineseWords =
    U"我们 今天 在 城市 的 图书馆 里 阅读 关于 历史 和 文化 的 书籍 ， 。 他 她 它 说 "
    U"港口 渡轮 每天 早上 出发 天气 很好 但是 昨天 下雨 了 学生 老师 朋友 一起 讨论 问题 "
    U"经济 发展 科学 技术 网络 数据 系统 研究 报告 ： “ ” 、 2026 年 （ 北京 ） 上海 东京";

constexpr std::u32string_view kEmojiWords =
    U"the harbour ferry leaves at dawn 🚢 and every passenger waves 👋 while gulls circle "
    U"above 🐦 coffee ☕ tastes better on deck 😀 we laughed 😂 for hours the sun 🌞 rose "
    U"late tonight 🌙 party 🎉 love ❤️ thanks 🙏 fire 🔥 ok 👍 rocket 🚀 cat 🐈 dog 🐕";

char32_t capital_of(char32_t c) {
  if ((c >= 0x03B1 && c <= 0x03C9) || (c >= 0x0430 && c <= 0x044F)) return c - 0x20;
  if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
  switch (c) {
    case 0x03AC:
      return 0x0386;
    case 0x03AD:
      return 0x0388;
    case 0x03AE:
      return 0x0389;
    case 0x03AF:
      return 0x038A;
    case 0x03CA:
      return 0x03AA;
    case 0x03CB:
      return 0x03AB;
    case 0x03CC:
      return 0x038C;
    case 0x03CD:
      return 0x038E;
    case 0x03CE:
      return 0x038F;
    default:
      return c;
  }
}

// 1 MiB (cut at a code point boundary) of sentences of 5 to 16 words drawn
// from `words` by a generator seeded with `seed`.
std::string varied_prose(std::u32string_view words, std::uint64_t seed) {
  std::vector<std::u32string_view> list;
  for (std::size_t at = 0; at < words.size();) {
    std::size_t end = words.find(U' ', at);
    if (end == std::u32string_view::npos) end = words.size();
    list.push_back(words.substr(at, end - at));
    at = end + 1;
  }
  std::uint64_t state = seed;
  const auto below = [&](std::uint64_t bound) {  // splitmix64, reduced
    state += 0x9E3779B97F4A7C15u;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return (z ^ (z >> 31)) % bound;
  };
  std::string text;
  const auto put = [&](char32_t c) {
    char buffer[4];
    text.append(buffer, encode_utf8(c, buffer));
  };
  while (text.size() < kBufferBytes + 64) {
    const std::size_t count = 5 + below(12);
    const std::size_t comma = count > 6 && below(2) == 0 ? 1 + below(count - 2) : count;
    for (std::size_t w = 0; w < count; ++w) {
      const std::u32string_view word = list[below(list.size())];
      const bool all_capitals = w != 0 && below(12) == 0;
      for (std::size_t k = 0; k < word.size(); ++k) {
        put(all_capitals || (w == 0 && k == 0) ? capital_of(word[k]) : word[k]);
      }
      if (w == comma) text += ',';
      if (w + 1 != count) text += ' ';
    }
    text += "...?!;"[below(6)];
    text += below(5) == 0 ? "\n\n" : " ";
  }
  std::size_t end = kBufferBytes;
  while ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

const std::string& greek_varied_prose() {
  static const std::string text = varied_prose(kGreekWords, 2);
  return text;
}

const std::string& cyrillic_varied_prose() {
  static const std::string text = varied_prose(kCyrillicWords, 3);
  return text;
}

const std::string& chinese_varied_prose() {
  static const std::string text = varied_prose(kChineseWords, 4);
  return text;
}

const std::string& emoji_varied_prose() {
  static const std::string text = varied_prose(kEmojiWords, 5);
  return text;
}

std::string lowercased(const std::string& text) {
  std::string lowered(lowered_size_bound(text.size()), '\0');
  lowered.resize(to_lower_full_into(text, lowered.data()));
  return lowered;
}

const std::string& greek_lowercase_prose() {
  static const std::string text = lowercased(greek_capitals_prose());
  return text;
}

const std::string& cyrillic_lowercase_prose() {
  static const std::string text = lowercased(cyrillic_capitals_prose());
  return text;
}

const std::string& greek_varied_lowercase_prose() {
  static const std::string text = lowercased(greek_varied_prose());
  return text;
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& text = ascii_prose();
  Text copy(text.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), text.data(), text.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Memcpy);

void lower_benchmark(benchmark::State& state, const std::string& text) {
  Text lowered(lowered_size_bound(text.size()), '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(to_lower_full_into(text, lowered.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ToLowerFullAscii(benchmark::State& state) { lower_benchmark(state, ascii_prose()); }
BENCHMARK(BM_ToLowerFullAscii);

void BM_ToLowerFullGreek(benchmark::State& state) { lower_benchmark(state, greek_prose()); }
BENCHMARK(BM_ToLowerFullGreek);

void BM_ToLowerFullCyrillic(benchmark::State& state) { lower_benchmark(state, cyrillic_prose()); }
BENCHMARK(BM_ToLowerFullCyrillic);

void BM_ToLowerFullGreekCapitals(benchmark::State& state) {
  lower_benchmark(state, greek_capitals_prose());
}
BENCHMARK(BM_ToLowerFullGreekCapitals);

void BM_ToLowerFullCyrillicCapitals(benchmark::State& state) {
  lower_benchmark(state, cyrillic_capitals_prose());
}
BENCHMARK(BM_ToLowerFullCyrillicCapitals);

void BM_ToLowerFullGreekLowercase(benchmark::State& state) {
  lower_benchmark(state, greek_lowercase_prose());
}
BENCHMARK(BM_ToLowerFullGreekLowercase);

void BM_ToLowerFullCyrillicLowercase(benchmark::State& state) {
  lower_benchmark(state, cyrillic_lowercase_prose());
}
BENCHMARK(BM_ToLowerFullCyrillicLowercase);

void BM_ToLowerFullGreekVaried(benchmark::State& state) {
  lower_benchmark(state, greek_varied_prose());
}
BENCHMARK(BM_ToLowerFullGreekVaried);

void BM_ToLowerFullCyrillicVaried(benchmark::State& state) {
  lower_benchmark(state, cyrillic_varied_prose());
}
BENCHMARK(BM_ToLowerFullCyrillicVaried);

void BM_ToLowerFullChineseVaried(benchmark::State& state) {
  lower_benchmark(state, chinese_varied_prose());
}
BENCHMARK(BM_ToLowerFullChineseVaried);

void BM_ToLowerFullEmojiVaried(benchmark::State& state) {
  lower_benchmark(state, emoji_varied_prose());
}
BENCHMARK(BM_ToLowerFullEmojiVaried);

void BM_ToLowerFullGreekVariedLowercase(benchmark::State& state) {
  lower_benchmark(state, greek_varied_lowercase_prose());
}
BENCHMARK(BM_ToLowerFullGreekVariedLowercase);

}  // namespace
}  // namespace corvane::scoring
