#include "fit/ImageFitter.h"

#include "base/Formatting.h"
#include "gamefile/JobShare.h"
#include "gamefile/SplitDeflate.h"
#include "gamefile/ZlibStream.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <optional>

namespace velmora::conversion {

namespace {

constexpr std::size_t kDdsHeaderSize = 128;
constexpr std::size_t kSide = 1024;
constexpr std::size_t kRowBytes = kSide * 4;
constexpr std::uint64_t kColourSamples = kSide * kSide * 3;

// Bands of whole rows, because deflate codes the image row after row: a band quantised
// alike shares one Huffman table instead of mixing two histograms in one block.
constexpr std::size_t kBandRows = 32;
constexpr std::size_t kBands = kSide / kBandRows;
constexpr std::size_t kBandBytes = kBandRows * kRowBytes;

// Levels per colour channel, fine to coarse. Steps that are not powers of two matter: 86
// levels (a step of exactly 3) never rounds a tie and saves more bytes per unit of error than
// 128 levels (one bit less); 10 levels is about where the picture reaches 30 dB.
constexpr std::array<int, 13> kLevelCounts{256, 171, 128, 103, 86, 69, 52, 40, 30, 22, 15, 11, 10};
constexpr std::size_t kSteps = kLevelCounts.size();

// Candidates are sized at a fast level and calibrated against the strongest one; level 1
// ranks the steps as level 12 does at a tenth of its time or less.
constexpr int kEstimateLevel = 1;
// Steps measured before the search starts (256 to 52 levels): the fits of photographs missing the
// slot by up to 30 % use 86 levels or more.
constexpr std::size_t kFirstMeasuredSteps = 7;
// Rounds of strongest-level streams, one candidate each, before the best one found is kept.
constexpr int kMaxRounds = 4;
// Strongest-level bytes saved per fast-level byte saved by the bands, before anything of this
// image is measured.
constexpr double kFirstGuessSlope = 0.96;

using Lut = std::array<std::uint8_t, 256>;

Lut makeLut(int levels) {
    Lut lut{};
    const double step = 255.0 / (levels - 1);
    for (int v = 0; v < 256; ++v) {
        const long k = std::lround(v / step);
        int best = 0;
        int bestError = 256;
        // Rounding to the nearest level, not truncating: half the error for the same levels.
        for (long c = std::max(0L, k - 1); c <= std::min<long>(levels - 1, k + 1); ++c) {
            const int level = static_cast<int>(std::lround(c * step));
            const int error = std::abs(level - v);
            if (error < bestError) {
                best = level;
                bestError = error;
            }
        }
        lut[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(best);
    }
    return lut;
}

const std::array<Lut, kSteps>& luts() {
    static const std::array<Lut, kSteps> tables = [] {
        std::array<Lut, kSteps> t{};
        for (std::size_t s = 0; s < kSteps; ++s)
            t[s] = makeLut(kLevelCounts[s]);
        return t;
    }();
    return tables;
}

double psnrOf(std::uint64_t sse) {
    if (sse == 0)
        return std::numeric_limits<double>::infinity();
    const double mse = static_cast<double>(sse) / static_cast<double>(kColourSamples);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::string psnrText(double psnr) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", psnr);
    return text;
}

class Compressor {
  public:
    explicit Compressor(int level) : m_compressor(libdeflate_alloc_compressor(level)) {
        if (!m_compressor)
            throw std::bad_alloc();
    }

    std::vector<std::uint8_t> compress(std::span<const std::uint8_t> input) {
        const std::size_t bound = libdeflate_zlib_compress_bound(m_compressor.get(), input.size());
        if (m_out.size() < bound)
            m_out.resize(bound);
        const std::size_t size = libdeflate_zlib_compress(m_compressor.get(), input.data(),
                                                          input.size(), m_out.data(), m_out.size());
        return std::vector<std::uint8_t>(m_out.begin(),
                                         m_out.begin() + static_cast<std::ptrdiff_t>(size));
    }

    std::size_t size(std::span<const std::uint8_t> input) {
        const std::size_t bound = libdeflate_zlib_compress_bound(m_compressor.get(), input.size());
        if (m_out.size() < bound)
            m_out.resize(bound);
        return libdeflate_zlib_compress(m_compressor.get(), input.data(), input.size(),
                                        m_out.data(), m_out.size());
    }

  private:
    struct Deleter {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    std::unique_ptr<libdeflate_compressor, Deleter> m_compressor;
    std::vector<std::uint8_t> m_out;
};

void quantiseBand(std::span<std::uint8_t> pixels, const Lut& lut) {
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = lut[pixels[i]];
        pixels[i + 1] = lut[pixels[i + 1]];
        pixels[i + 2] = lut[pixels[i + 2]];
    }
}

struct BandCost {
    std::size_t bytes = 0; // compressed alone at kEstimateLevel
    std::uint64_t sse = 0; // squared error over blue, green and red
};
using CostTable = std::array<std::array<BandCost, kSteps>, kBands>;

// The squared error of every step of every band, from the bands' histograms; the byte counts
// are left to measureBands.
CostTable bandErrors(std::span<const std::uint8_t> pixels) {
    CostTable table{};
    for (std::size_t b = 0; b < kBands; ++b) {
        std::array<std::uint64_t, 256> histogram{};
        const auto band = pixels.subspan(b * kBandBytes, kBandBytes);
        for (std::size_t i = 0; i < band.size(); i += 4) {
            ++histogram[band[i]];
            ++histogram[band[i + 1]];
            ++histogram[band[i + 2]];
        }
        for (std::size_t s = 0; s < kSteps; ++s) {
            std::uint64_t sse = 0;
            for (int v = 0; v < 256; ++v) {
                const std::int64_t d = int(luts()[s][static_cast<std::size_t>(v)]) - v;
                sse += histogram[static_cast<std::size_t>(v)] * static_cast<std::uint64_t>(d * d);
            }
            table[b][s].sse = sse;
        }
    }
    return table;
}

// Fills in the bytes of steps [firstStep, endStep) of every band. `alongside(i, worker)` runs as
// `alongsideTasks` more tasks with the band compressions, first, as they are the longest.
template <typename Alongside>
void measureBands(CostTable& table, std::span<const std::uint8_t> pixels, std::size_t firstStep,
                  std::size_t endStep, std::size_t alongsideTasks, Alongside&& alongside) {
    const std::size_t steps = endStep - firstStep;
    std::array<std::unique_ptr<Compressor>, 2> compressors{
        std::make_unique<Compressor>(kEstimateLevel), std::make_unique<Compressor>(kEstimateLevel)};
    std::array<std::vector<std::uint8_t>, 2> buffers;
    runOnTwoWorkers(kBands * steps + alongsideTasks, [&](std::size_t task, std::size_t worker) {
        if (task < alongsideTasks) {
            alongside(task, worker);
            return;
        }
        task -= alongsideTasks;
        const std::size_t b = task / steps;
        const std::size_t s = firstStep + task % steps;
        const auto band = pixels.subspan(b * kBandBytes, kBandBytes);
        buffers[worker].assign(band.begin(), band.end());
        quantiseBand(buffers[worker], luts()[s]);
        table[b][s].bytes = compressors[worker]->size(buffers[worker]);
    });
}

// One choice of levels for every band, with its estimated size and its exact error.
struct Plan {
    std::array<std::uint8_t, kBands> step{};
    std::uint64_t estimate = 0;
    std::uint64_t sse = 0;
};

// The least error for each size: from no change, repeatedly take the band move that saves the
// most bytes per unit of added error (each band's choices along their lower convex hull). Only
// steps below `measuredSteps` have their bytes; a move is taken only when no unmeasured step
// could beat it (it would save at most all of the band's bytes for its known added error), so
// the sequence is the start of the one all steps give, and `complete` says whether it is all.
struct PlanSequence {
    std::vector<Plan> plans;
    bool complete = true;
};

PlanSequence planSequence(const CostTable& table, std::size_t measuredSteps = kSteps) {
    Plan plan;
    for (std::size_t b = 0; b < kBands; ++b)
        plan.estimate += table[b][0].bytes;
    PlanSequence sequence{{plan}, true};
    for (;;) {
        double bestSlope = std::numeric_limits<double>::infinity();
        double unmeasuredBound = std::numeric_limits<double>::infinity();
        std::size_t bestBand = kBands;
        std::size_t bestStep = 0;
        for (std::size_t b = 0; b < kBands; ++b) {
            const BandCost& now = table[b][plan.step[b]];
            for (std::size_t s = plan.step[b] + 1u; s < kSteps; ++s) {
                const BandCost& next = table[b][s];
                if (s >= measuredSteps) {
                    const double bound =
                        next.sse <= now.sse
                            ? 0.0
                            : static_cast<double>(next.sse - now.sse) / double(now.bytes);
                    unmeasuredBound = std::min(unmeasuredBound, bound);
                    continue;
                }
                if (next.bytes >= now.bytes)
                    continue;
                const double slope = static_cast<double>(next.sse - std::min(next.sse, now.sse)) /
                                     double(now.bytes - next.bytes);
                if (slope < bestSlope) {
                    bestSlope = slope;
                    bestBand = b;
                    bestStep = s;
                }
            }
        }
        if (!(bestSlope < unmeasuredBound)) {
            sequence.complete = std::isinf(unmeasuredBound);
            return sequence;
        }
        const BandCost& from = table[bestBand][plan.step[bestBand]];
        const BandCost& to = table[bestBand][bestStep];
        plan.estimate = plan.estimate - from.bytes + to.bytes;
        plan.sse = plan.sse - from.sse + to.sse;
        plan.step[bestBand] = static_cast<std::uint8_t>(bestStep);
        sequence.plans.push_back(plan);
    }
}

std::vector<std::uint8_t> applyPlan(std::span<const std::uint8_t> imageBlock, const Plan& plan) {
    std::vector<std::uint8_t> block(imageBlock.begin(), imageBlock.end());
    const auto pixels = std::span(block).subspan(kDdsHeaderSize);
    for (std::size_t b = 0; b < kBands; ++b)
        if (plan.step[b] != 0)
            quantiseBand(pixels.subspan(b * kBandBytes, kBandBytes), luts()[plan.step[b]]);
    return block;
}

std::vector<std::uint8_t> makeRecord(std::span<const std::uint8_t> block,
                                     const RecordFrame& frame) {
    std::vector<std::uint8_t> record;
    record.reserve(frame.textureHeader.size() + block.size() + frame.textureName.size());
    record.insert(record.end(), frame.textureHeader.begin(), frame.textureHeader.end());
    record.insert(record.end(), block.begin(), block.end());
    record.insert(record.end(), frame.textureName.begin(), frame.textureName.end());
    return record;
}

using PartDeflaters = std::array<std::unique_ptr<PartDeflater>, 2>;
using Parts = std::array<std::optional<DeflatedPart>, kDeflateParts>;

// The strongest stream of `record` from its parts; in one piece when a part failed or when the
// parts' cost is what keeps it out of the slot.
std::vector<std::uint8_t> joinOrWhole(const Parts& parts, std::span<const std::uint8_t> record,
                                      std::size_t slotSize, bool wholeIfClose = true) {
    std::array<DeflatedPart, kDeflateParts> done;
    for (std::size_t p = 0; p < kDeflateParts; ++p) {
        if (!parts[p])
            return Compressor(kStrongestCompressionLevel).compress(record);
        done[p] = *parts[p];
    }
    auto stream = joinDeflatedParts(done, record);
    if (wholeIfClose && partsMayCostTheFit(stream.size(), slotSize)) {
        auto whole = Compressor(kStrongestCompressionLevel).compress(record);
        if (whole.size() < stream.size())
            return whole;
    }
    return stream;
}

struct Trial {
    std::size_t index = 0;
    std::vector<std::uint8_t> block;
    std::vector<std::uint8_t> stream;
};

// The record of the latest trial and its compressed parts. Neighbouring plans differ in one
// band, so the next trial usually repeats one part byte for byte and takes its stream as it is.
struct LastTrial {
    std::vector<std::uint8_t> record;
    Parts parts;
};

// The strongest stream of the trial's block, each part not repeated from `last` one task, so
// both workers stay busy. A stream that misses by the parts' small cost is made again in one
// piece (one core, a whole strongest pass) only when `wholeIfClose` says so: while the search
// has a fitting candidate, such a near miss is cheaper to treat as too big.
void measureTrial(Trial& trial, const RecordFrame& frame, PartDeflaters& deflaters,
                  std::size_t slotSize, LastTrial& last, bool wholeIfClose = true) {
    auto record = makeRecord(trial.block, frame);
    Parts parts;
    std::vector<std::size_t> toCompress;
    for (std::size_t p = 0; p < kDeflateParts; ++p) {
        const auto part = deflatePart(record, p);
        if (last.parts[p] && last.record.size() == record.size() &&
            std::ranges::equal(part, deflatePart(last.record, p)))
            parts[p] = std::move(last.parts[p]);
        else
            toCompress.push_back(p);
    }
    runOnTwoWorkers(toCompress.size(), [&](std::size_t task, std::size_t worker) {
        const std::size_t p = toCompress[task];
        parts[p] = deflaters[worker]->compress(deflatePart(record, p));
    });
    trial.stream = joinOrWhole(parts, record, slotSize, wholeIfClose);
    last = {std::move(record), std::move(parts)};
}

} // namespace

double colourPsnr(std::span<const std::uint8_t> original, std::span<const std::uint8_t> changed) {
    std::uint64_t sse = 0;
    const std::size_t end = std::min(original.size(), changed.size());
    for (std::size_t i = kDdsHeaderSize; i + 3 < end; i += 4)
        for (std::size_t c = 0; c < 3; ++c) {
            const std::int64_t d = int(original[i + c]) - int(changed[i + c]);
            sse += static_cast<std::uint64_t>(d * d);
        }
    return psnrOf(sse);
}

Result<FitResult> fitImageToSlot(std::span<const std::uint8_t> imageBlock, RecordFrame frame,
                                 std::size_t slotSize, std::size_t measuredSize,
                                 const std::atomic<bool>* stop) {
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    if (imageBlock.size() != kImageBlockSize)
        return fail(ErrorKind::Unsupported, "the image block is " +
                                                groupedNumber(imageBlock.size()) +
                                                " bytes; a 1024 x 1024 B8G8R8A8 image takes " +
                                                groupedNumber(kImageBlockSize));

    // The caller has usually tried already, but an image that fits must never be touched. The
    // strongest level runs alongside the band measurements; it is needed for the answer and for
    // calibrating them.
    auto original = makeRecord(imageBlock, frame);
    PartDeflaters strongest{std::make_unique<PartDeflater>(kStrongestCompressionLevel),
                            std::make_unique<PartDeflater>(kStrongestCompressionLevel)};
    std::vector<std::uint8_t> unchanged;
    std::size_t unfittedSize = measuredSize;
    auto unchangedResult = [&] {
        FitResult result;
        result.block.assign(imageBlock.begin(), imageBlock.end());
        result.stream = std::move(unchanged);
        result.psnr = std::numeric_limits<double>::infinity();
        result.description = "unchanged";
        result.unfittedSize = unfittedSize;
        return result;
    };
    const bool measured = measuredSize > slotSize;
    if (!measured && !fastLevelsClearlyMiss(original, slotSize)) {
        unchanged = deflateCheaply(original, slotSize).stream;
        unfittedSize = unchanged.size();
        if (unfittedSize <= slotSize)
            return unchangedResult();
    }
    // The fast miss is enough to start: the strongest stream of the unchanged record is made
    // alongside the band measurements, one task per part.
    const auto pixels = imageBlock.subspan(kDdsHeaderSize);
    LastTrial previous;
    Parts unchangedParts;
    CostTable table = bandErrors(pixels);
    measureBands(table, pixels, 0, kFirstMeasuredSteps, measured ? 0 : kDeflateParts,
                 [&](std::size_t p, std::size_t worker) {
                     unchangedParts[p] = strongest[worker]->compress(deflatePart(original, p));
                 });
    if (!measured) {
        unchanged = joinOrWhole(unchangedParts, original, slotSize);
        unfittedSize = unchanged.size();
    }
    if (unfittedSize <= slotSize)
        return unchangedResult();
    // A first candidate that leaves one part's bands as they are repeats that part.
    if (!measured)
        previous = {std::move(original), std::move(unchangedParts)};
    if (stopped())
        return fail(ErrorKind::Stopped, "stopped before the image was fitted");
    PlanSequence sequence = planSequence(table, kFirstMeasuredSteps);
    const std::vector<Plan>& plans = sequence.plans;

    // Plans past the last one that keeps 30 dB are never used.
    const double sseLimit =
        static_cast<double>(kColourSamples) * 255.0 * 255.0 / std::pow(10.0, kLowestFitPsnr / 10);
    std::size_t lastAllowed = 0;
    const auto findLastAllowed = [&] {
        while (lastAllowed + 1 < plans.size() &&
               static_cast<double>(plans[lastAllowed + 1].sse) <= sseLimit)
            ++lastAllowed;
    };
    findLastAllowed();
    // The fine steps decide the fit on nearly every picture; the coarse ones are measured only
    // when the search reaches the end of what the fine ones settle. The plans known so far stay
    // as they are, so measured candidates keep their places.
    const auto needsMorePlans = [&](std::size_t index) {
        return index >= lastAllowed && lastAllowed + 1 == plans.size() && !sequence.complete;
    };
    const auto measureTheRest = [&] {
        measureBands(table, pixels, kFirstMeasuredSteps, kSteps, 0,
                     [](std::size_t, std::size_t) {});
        sequence = planSequence(table);
        findLastAllowed();
    };

    // Band estimates leave out what the strongest level gains over the fast one and what one
    // stream gains over separate bands; the unchanged image measures that once, and every
    // measured candidate refines it.
    double ratio = static_cast<double>(unfittedSize) / static_cast<double>(plans[0].estimate);
    const double slot = static_cast<double>(slotSize);
    // Measured plans: the most-changed one known not to fit (at first the unchanged image), the
    // one before it, and the least-changed one known to fit.
    struct Point {
        std::size_t index = 0;
        std::size_t size = 0;
    };
    Point tooBig{0, unfittedSize};
    std::optional<Point> tooBigBefore;
    std::optional<Trial> fits;
    // Neighbouring plans differ in one band, and near a measured plan the strongest size moves
    // with the estimate about one for one; the line through the two measured plans nearest the
    // slot predicts the plans between and around them to a few tenths of a percent, which is
    // finer than the step between plans (one to two percent on photographs).
    const auto predicted = [&](std::size_t index) {
        const Point near = fits ? Point{fits->index, fits->stream.size()} : tooBig;
        const Point far = fits ? tooBig : tooBigBefore.value_or(tooBig);
        const double eNear = static_cast<double>(plans[near.index].estimate);
        const double eFar = static_cast<double>(plans[far.index].estimate);
        const double slope =
            eFar > eNear && far.size > near.size
                ? (static_cast<double>(far.size) - static_cast<double>(near.size)) / (eFar - eNear)
                : ratio;
        return static_cast<double>(near.size) +
               slope * (static_cast<double>(plans[index].estimate) - eNear);
    };
    for (int round = 0; round < kMaxRounds; ++round) {
        if (!fits && needsMorePlans(tooBig.index))
            measureTheRest();
        std::size_t last = fits ? fits->index - 1 : lastAllowed;
        if (tooBig.index >= last && fits)
            break;
        if (tooBig.index >= lastAllowed)
            break;
        if (stopped())
            return fail(ErrorKind::Stopped, "stopped before the image was fitted");
        // One candidate a round, both cores on the parts it changes, each chosen on what was
        // measured.
        std::size_t candidate = 0;
        // The least-changed plan after the largest known miss that `size` expects to fit, with
        // the coarse steps measured first when the search runs out of settled plans. Until a
        // plan fits, aim a little under the slot so that the next one measured is likely to;
        // once one does, the line through two measured plans is good to a few hundredths of a
        // percent, so aim at the slot itself: the plans within the margin of it are measured
        // anyway, and one measured further away only adds a round.
        const double aim = fits ? slot : slot * 0.997;
        const auto search = [&](const auto& size) {
            const auto walk = [&] {
                candidate = tooBig.index + 1;
                while (candidate < last && size(candidate) > aim)
                    ++candidate;
            };
            walk();
            if (!fits && needsMorePlans(candidate)) {
                measureTheRest();
                last = lastAllowed;
                walk();
            }
        };
        if (round == 0) {
            // Bytes the bands save at the fast level are saved almost one for one at the
            // strongest (0.95 to 0.97 on photographs), more than the ratio of the whole sizes.
            const double e0 = static_cast<double>(plans[0].estimate);
            search([&](std::size_t index) {
                return static_cast<double>(unfittedSize) -
                       kFirstGuessSlope * (e0 - static_cast<double>(plans[index].estimate));
            });
        } else {
            search(predicted);
            // Nothing between is expected to fit: the fitting plan is the answer unless the one
            // just before it is too close to call.
            if (fits && candidate == last && predicted(candidate) > slot * 1.003)
                break;
        }
        Trial trial{candidate, applyPlan(imageBlock, plans[candidate]), {}};
        measureTrial(trial, frame, strongest, slotSize, previous, false);
        // A near miss is worth a stream in one piece (one core, a whole strongest pass) only
        // when no more-changed plan is left to try.
        if (!fits && candidate == lastAllowed &&
            partsMayCostTheFit(trial.stream.size(), slotSize)) {
            auto whole = Compressor(kStrongestCompressionLevel).compress(previous.record);
            if (whole.size() < trial.stream.size())
                trial.stream = std::move(whole);
        }
        ratio = static_cast<double>(trial.stream.size()) /
                static_cast<double>(plans[candidate].estimate);
        if (trial.stream.size() > slotSize) {
            tooBigBefore = tooBig;
            tooBig = {candidate, trial.stream.size()};
        } else {
            fits = std::move(trial);
        }
    }

    // Never refuse on an estimate: the coarsest allowed plan is measured before saying no.
    if (!fits && !sequence.complete)
        measureTheRest();
    if (!fits && tooBig.index < lastAllowed) {
        Trial trial{lastAllowed, applyPlan(imageBlock, plans[lastAllowed]), {}};
        measureTrial(trial, frame, strongest, slotSize, previous);
        if (trial.stream.size() <= slotSize)
            fits = std::move(trial);
    }
    if (!fits) {
        const std::string advice =
            "; use a picture with less fine detail or grain (smoothing it first helps)";
        if (lastAllowed == 0)
            return fail(ErrorKind::DoesNotFit,
                        "the image does not fit the game file and lowering its colour "
                        "precision cannot help" +
                            advice);
        return fail(ErrorKind::DoesNotFit, "even with colour precision reduced to PSNR " +
                                               psnrText(psnrOf(plans[lastAllowed].sse)) +
                                               " dB the image does not fit the game file" + advice);
    }

    FitResult result;
    result.unfittedSize = unfittedSize;
    result.psnr = colourPsnr(imageBlock, fits->block);
    result.block = std::move(fits->block);
    result.stream = std::move(fits->stream);
    result.changed = true;
    result.description = "colour precision reduced";
    return result;
}

} // namespace velmora::conversion
