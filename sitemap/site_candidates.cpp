#include "sitemap/site_candidates.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "sitemap/cell_extents.h"
#include "sitemap/site.h"

namespace {

// A leaf with more candidates than this is cut into four, down to
// kSmallestCell: the screen pass's cost grows with the candidates per pixel.
constexpr std::size_t kMostCandidates = 8;
constexpr double kSmallestCell = 0.25;
constexpr std::size_t kDeepest = 16;
// The grid's cells hold about this many sites on average over the sites'
// bounding box; denser spots are cut into quarters.
constexpr double kSitesPerCell = 256.0;

struct Normals {
    double x[kConeSlices / 8];
    double y[kConeSlices / 8];
    Normals() {
        const double kPi = 3.14159265358979323846;
        for (int facet = 0; facet < kConeSlices / 8; ++facet) {
            const double angle = (facet + 0.5) * 2.0 * kPi / kConeSlices;
            x[facet] = std::cos(angle) / std::cos(kPi / kConeSlices);
            y[facet] = std::sin(angle) / std::cos(kPi / kConeSlices);
        }
    }
};
const Normals kNormals;

// The 32-gon distance of an offset and the (pre-divided) normal of the facet
// that measures it: normal . v never exceeds the distance of any offset v,
// so it bounds the distance linearly from below.
struct Facet {
    double distance;
    double normalX;
    double normalY;
};

Facet facetOf(double vx, double vy) {
    double ax = std::fabs(vx);
    double ay = std::fabs(vy);
    const bool swapped = ay > ax;
    if (swapped) {
        std::swap(ax, ay);
    }
    int best = 0;
    double distance = kNormals.x[0] * ax + kNormals.y[0] * ay;
    for (int facet = 1; facet < kConeSlices / 8; ++facet) {
        const double along = kNormals.x[facet] * ax + kNormals.y[facet] * ay;
        if (along > distance) {
            distance = along;
            best = facet;
        }
    }
    double nx = kNormals.x[best];
    double ny = kNormals.y[best];
    if (swapped) {
        std::swap(nx, ny);
    }
    return {distance, vx < 0 ? -nx : nx, vy < 0 ? -ny : ny};
}

double facetDistance(double vx, double vy) {
    return facetOf(vx, vy).distance;
}

struct Square {
    double x0;
    double y0;
    double size;
    double cornerX(int corner) const { return x0 + (corner & 1) * size; }
    double cornerY(int corner) const { return y0 + (corner >> 1) * size; }
    Square quarter(int which) const {
        const double half = size / 2;
        return {x0 + (which & 1) * half, y0 + (which >> 1) * half, half};
    }
};

// Euclidean distance from a point to a square, a lower bound of the 32-gon one.
double distanceToSquare(double x, double y, const Square& square) {
    const double dx = std::max({square.x0 - x, 0.0, x - square.x0 - square.size});
    const double dy = std::max({square.y0 - y, 0.0, y - square.y0 - square.size});
    return std::sqrt(dx * dx + dy * dy);
}

struct SitePoint {
    double x;
    double y;
    std::uint32_t colour;
    std::uint32_t listPosition;
};

// The sites bucketed by grid cell, copies of one position dropped.
struct Buckets {
    std::vector<SitePoint> sites;
    std::vector<std::uint32_t> start;  // cell c holds sites[start[c]] to sites[start[c + 1] - 1]
    std::vector<int> nearestOccupied;  // a cell with sites near this cell's centre
    // Each row's first and last cell with sites (first > last when none).
    std::vector<int> firstOccupied;
    std::vector<int> lastOccupied;
};

template <typename Work>
void onThreads(int threads, Work work) {
    std::vector<std::thread> helpers;
    for (int index = 1; index < threads; ++index) {
        helpers.emplace_back(work, index);
    }
    work(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

// Works the cells of one thread out, keeping its nodes and candidates apart
// until all threads are done.
class CellWorker {
public:
    CellWorker(const SiteCandidates& grid, const Buckets& buckets, double radius)
        : grid(grid), buckets(buckets), radius(radius), kept(kDeepest) {}

    CandidateNode cell(int column, int row) {
        const Square square{grid.originX + column * grid.cellSize,
                            grid.originY + row * grid.cellSize, grid.cellSize};
        // Any site bounds the nearest distance from above; one close by
        // bounds it tightly, which keeps the gathering short.
        const int near = buckets.nearestOccupied[row * grid.columns + column];
        double tightest = std::numeric_limits<double>::infinity();
        for (std::uint32_t index = buckets.start[near]; index < buckets.start[near + 1]; ++index) {
            const SitePoint& site = buckets.sites[index];
            double farthest = 0.0;
            for (int corner = 0; corner < 4; ++corner) {
                farthest = std::max(farthest, facetDistance(square.cornerX(corner) - site.x,
                                                            square.cornerY(corner) - site.y));
            }
            tightest = std::min(tightest, farthest);
        }
        // A site shows in the square only where it is no farther than that
        // site's distance (at most its largest over the corners, the
        // distance being convex) and than the radius.
        const double limit = std::min(tightest + kCellTieTolerance, radius + kRimReach);
        gathered.clear();
        const auto bucketOf = [&](double at, double origin, int count) {
            return std::clamp(static_cast<int>(std::floor((at - origin) / grid.cellSize)), 0,
                              count - 1);
        };
        const int lowColumn = bucketOf(square.x0 - limit, grid.originX, grid.columns);
        const int highColumn =
            bucketOf(square.x0 + square.size + limit, grid.originX, grid.columns);
        const int lowRow = bucketOf(square.y0 - limit, grid.originY, grid.rows);
        const int highRow = bucketOf(square.y0 + square.size + limit, grid.originY, grid.rows);
        for (int bucketRow = lowRow; bucketRow <= highRow; ++bucketRow) {
            const double gapY = std::max(0, std::abs(bucketRow - row) - 1) * grid.cellSize;
            if (gapY > limit) {
                continue;
            }
            // Only the row's occupied stretch, within the limit's chord.
            const int chord =
                static_cast<int>(std::sqrt(limit * limit - gapY * gapY) / grid.cellSize) + 1;
            const int first =
                std::max({lowColumn, column - chord, buckets.firstOccupied[bucketRow]});
            const int last =
                std::min({highColumn, column + chord, buckets.lastOccupied[bucketRow]});
            for (int bucketColumn = first; bucketColumn <= last; ++bucketColumn) {
                const int bucket = bucketRow * grid.columns + bucketColumn;
                for (std::uint32_t index = buckets.start[bucket]; index < buckets.start[bucket + 1];
                     ++index) {
                    const SitePoint& site = buckets.sites[index];
                    if (distanceToSquare(site.x, site.y, square) <= limit) {
                        gathered.push_back(index);
                    }
                }
            }
        }
        return refine(square, gathered, 0);
    }

    std::vector<CandidateNode> nodes;
    std::vector<std::uint32_t> candidates;
    std::vector<RimSite> rimFacets;

private:
    // Where the nearest distance can reach the rim strips somewhere in the
    // leaf (it is at most any listed site's largest over the corners), every
    // listed site may show there, through the facets that face the leaf.
    void markRimFacets(const Square& square, const std::vector<std::uint32_t>& listed) {
        double nearestAtMost = std::numeric_limits<double>::infinity();
        for (std::uint32_t index : listed) {
            const SitePoint& site = buckets.sites[index];
            double farthest = 0.0;
            for (int corner = 0; corner < 4; ++corner) {
                farthest = std::max(farthest, facetDistance(square.cornerX(corner) - site.x,
                                                            square.cornerY(corner) - site.y));
            }
            nearestAtMost = std::min(nearestAtMost, farthest);
        }
        if (listed.empty() || nearestAtMost < radius - kRimStrip) {
            return;
        }
        const double kPi = 3.14159265358979323846;
        const double facetAngle = 2.0 * kPi / kConeSlices;
        for (std::uint32_t index : listed) {
            const SitePoint& site = buckets.sites[index];
            if (distanceToSquare(site.x, site.y, square) < square.size) {
                rimFacets.push_back({index, 0xFFFFFFFFu});
                continue;
            }
            // The square is seen from the site under less than a half turn.
            const double middle = std::atan2(square.y0 + square.size / 2 - site.y,
                                             square.x0 + square.size / 2 - site.x);
            double low = 0.0;
            double high = 0.0;
            for (int corner = 0; corner < 4; ++corner) {
                double turn =
                    std::atan2(square.cornerY(corner) - site.y, square.cornerX(corner) - site.x) -
                    middle;
                turn -= 2.0 * kPi * std::round(turn / (2.0 * kPi));
                low = std::min(low, turn);
                high = std::max(high, turn);
            }
            std::uint32_t facets = 0;
            const int first = static_cast<int>(std::floor((middle + low) / facetAngle)) - 1;
            const int last = static_cast<int>(std::floor((middle + high) / facetAngle)) + 1;
            for (int facet = first; facet <= last; ++facet) {
                facets |= 1u << (((facet % kConeSlices) + kConeSlices) % kConeSlices);
            }
            rimFacets.push_back({index, facets});
        }
    }

    // Keeps the sites of `from` that can show in the square, then cuts the
    // square into quarters while they are many.
    CandidateNode refine(const Square& square, const std::vector<std::uint32_t>& from,
                         std::size_t depth) {
        std::vector<std::uint32_t>& keep = kept[depth];
        select(square, from, keep);
        if (keep.size() > kMostCandidates && square.size > kSmallestCell && depth + 1 < kDeepest) {
            const auto first = static_cast<std::uint32_t>(nodes.size());
            nodes.resize(nodes.size() + 4);
            for (int which = 0; which < 4; ++which) {
                const CandidateNode quarter = refine(square.quarter(which), kept[depth], depth + 1);
                nodes[first + which] = quarter;
            }
            return {first, kSplitNode};
        }
        markRimFacets(square, keep);
        const auto first = static_cast<std::uint32_t>(candidates.size());
        candidates.insert(candidates.end(), keep.begin(), keep.end());
        return {first, static_cast<std::uint32_t>(keep.size())};
    }

    // Site s can show at a point p of the square only if d_s(p) is within
    // the tolerance of d_t(p) for the site t nearest the centre, and d_s(p)
    // within the radius. Below d_s lies the plane of its facet at the centre;
    // d_t is convex, so on each half of the square it lies below the plane
    // through its corner values. The difference of the two planes is least
    // at a corner, which gives a lower bound of d_s - d_t, exact where both
    // are planar, far from the sites.
    void select(const Square& square, const std::vector<std::uint32_t>& from,
                std::vector<std::uint32_t>& keep) {
        keep.clear();
        if (from.empty()) {
            return;
        }
        const double half = square.size / 2;
        const double centreX = square.x0 + half;
        const double centreY = square.y0 + half;
        facets.resize(from.size());
        std::size_t nearest = 0;
        for (std::size_t position = 0; position < from.size(); ++position) {
            const SitePoint& site = buckets.sites[from[position]];
            facets[position] = facetOf(centreX - site.x, centreY - site.y);
            if (facets[position].distance < facets[nearest].distance) {
                nearest = position;
            }
        }
        const SitePoint& nearestSite = buckets.sites[from[nearest]];
        double nearestAtCorner[4];
        for (int corner = 0; corner < 4; ++corner) {
            nearestAtCorner[corner] = facetDistance(square.cornerX(corner) - nearestSite.x,
                                                    square.cornerY(corner) - nearestSite.y);
        }
        for (std::size_t position = 0; position < from.size(); ++position) {
            // The facet's plane at a corner: the centre's distance plus the
            // normal's share of the step from the centre to the corner.
            const Facet& facet = facets[position];
            const double alongX = half * facet.normalX;
            const double alongY = half * facet.normalY;
            const double least = facet.distance - std::fabs(alongX) - std::fabs(alongY);
            double leastOverNearest = std::numeric_limits<double>::infinity();
            for (int corner = 0; corner < 4; ++corner) {
                const double below = facet.distance + ((corner & 1) ? alongX : -alongX) +
                                     ((corner >> 1) ? alongY : -alongY);
                leastOverNearest = std::min(leastOverNearest, below - nearestAtCorner[corner]);
            }
            if (least <= radius + kRimReach && leastOverNearest <= kCellTieTolerance) {
                keep.push_back(from[position]);
            }
        }
    }

    const SiteCandidates& grid;
    const Buckets& buckets;
    double radius;
    std::vector<std::uint32_t> gathered;
    std::vector<std::vector<std::uint32_t>> kept;
    std::vector<Facet> facets;
};

std::vector<SitePoint> collectSites(const Site* head) {
    std::vector<SitePoint> sites;
    std::uint32_t position = 0;
    for (const Site* site = head; site; site = site->next) {
        // The cones stand at positions rounded to 32-bit floats.
        sites.push_back({static_cast<float>(site->x), static_cast<float>(site->y),
                         site->r | (site->g << 8) | (site->b << 16) | (0xFFu << 24), position++});
    }
    return sites;
}

void placeGrid(SiteCandidates& grid, const std::vector<SitePoint>& sites, int radius) {
    double minX = sites.front().x, maxX = minX, minY = sites.front().y, maxY = minY;
    for (const SitePoint& site : sites) {
        minX = std::min(minX, site.x);
        maxX = std::max(maxX, site.x);
        minY = std::min(minY, site.y);
        maxY = std::max(maxY, site.y);
    }
    const double area = std::max((maxX - minX) * (maxY - minY), 1.0);
    const double wanted = std::sqrt(kSitesPerCell * area / static_cast<double>(sites.size()));
    grid.cellSize = std::exp2(std::clamp(std::floor(std::log2(wanted)), 2.0, 8.0));
    // Beyond the radius of every site no cone reaches.
    const double reach = radius + 1.0;
    grid.originX = std::floor((minX - reach) / grid.cellSize) * grid.cellSize;
    grid.originY = std::floor((minY - reach) / grid.cellSize) * grid.cellSize;
    grid.columns = static_cast<int>(std::ceil((maxX + reach - grid.originX) / grid.cellSize));
    grid.rows = static_cast<int>(std::ceil((maxY + reach - grid.originY) / grid.cellSize));
}

Buckets bucketSites(const SiteCandidates& grid, const std::vector<SitePoint>& sites, int threads) {
    const int cells = grid.columns * grid.rows;
    std::vector<int> cellOf(sites.size());
    std::vector<std::uint32_t> start(cells + 1, 0);
    for (std::size_t index = 0; index < sites.size(); ++index) {
        const int column = static_cast<int>((sites[index].x - grid.originX) / grid.cellSize);
        const int row = static_cast<int>((sites[index].y - grid.originY) / grid.cellSize);
        cellOf[index] = row * grid.columns + column;
        ++start[cellOf[index] + 1];
    }
    for (int cell = 0; cell < cells; ++cell) {
        start[cell + 1] += start[cell];
    }
    std::vector<SitePoint> sorted(sites.size());
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::size_t index = 0; index < sites.size(); ++index) {
        sorted[fill[cellOf[index]]++] = sites[index];
    }
    // Of the copies of one position the one nearest the list's end stays.
    std::vector<std::uint32_t> keptCount(cells, 0);
    onThreads(threads, [&](int thread) {
        for (int cell = thread; cell < cells; cell += threads) {
            const auto begin = sorted.begin() + start[cell];
            const auto end = sorted.begin() + start[cell + 1];
            std::sort(begin, end, [](const SitePoint& a, const SitePoint& b) {
                return a.x != b.x   ? a.x < b.x
                       : a.y != b.y ? a.y < b.y
                                    : a.listPosition > b.listPosition;
            });
            const auto last = std::unique(begin, end, [](const SitePoint& a, const SitePoint& b) {
                return a.x == b.x && a.y == b.y;
            });
            keptCount[cell] = static_cast<std::uint32_t>(last - begin);
        }
    });
    Buckets buckets;
    buckets.start.assign(cells + 1, 0);
    for (int cell = 0; cell < cells; ++cell) {
        buckets.start[cell + 1] = buckets.start[cell] + keptCount[cell];
    }
    buckets.sites.resize(buckets.start[cells]);
    for (int cell = 0; cell < cells; ++cell) {
        std::copy_n(sorted.begin() + start[cell], keptCount[cell],
                    buckets.sites.begin() + buckets.start[cell]);
    }
    return buckets;
}

// For every cell an occupied cell near its centre, passed on from neighbour
// to neighbour in two sweeps: close to the nearest, which is all it needs.
void findNearestOccupied(const SiteCandidates& grid, Buckets& buckets) {
    const int columns = grid.columns;
    std::vector<int>& nearest = buckets.nearestOccupied;
    nearest.assign(static_cast<std::size_t>(columns) * grid.rows, -1);
    const auto squaredGap = [columns](int from, int to) {
        const long long dx = from % columns - to % columns;
        const long long dy = from / columns - to / columns;
        return dx * dx + dy * dy;
    };
    buckets.firstOccupied.assign(grid.rows, columns);
    buckets.lastOccupied.assign(grid.rows, -1);
    for (int cell = 0; cell < columns * grid.rows; ++cell) {
        if (buckets.start[cell] != buckets.start[cell + 1]) {
            nearest[cell] = cell;
            const int row = cell / columns;
            buckets.firstOccupied[row] = std::min(buckets.firstOccupied[row], cell % columns);
            buckets.lastOccupied[row] = std::max(buckets.lastOccupied[row], cell % columns);
        }
    }
    const auto sweep = [&](int row, int column, const int(*steps)[2]) {
        const int cell = row * columns + column;
        for (int step = 0; step < 4; ++step) {
            const int otherColumn = column + steps[step][0];
            const int otherRow = row + steps[step][1];
            if (otherColumn < 0 || otherColumn >= columns || otherRow < 0 ||
                otherRow >= grid.rows) {
                continue;
            }
            const int offered = nearest[otherRow * columns + otherColumn];
            if (offered >= 0 && (nearest[cell] < 0 ||
                                 squaredGap(cell, offered) < squaredGap(cell, nearest[cell]))) {
                nearest[cell] = offered;
            }
        }
    };
    static const int kBefore[4][2] = {{-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    static const int kAfter[4][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}};
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            sweep(row, column, kBefore);
        }
    }
    for (int row = grid.rows - 1; row >= 0; --row) {
        for (int column = columns - 1; column >= 0; --column) {
            sweep(row, column, kAfter);
        }
    }
}

}  // namespace

const CandidateNode* SiteCandidates::leafAt(double x, double y) const {
    double column = (x - originX) / cellSize;
    double row = (y - originY) / cellSize;
    if (!(column >= 0 && row >= 0 && column < columns && row < rows)) {
        return nullptr;
    }
    const CandidateNode* node = &nodes[static_cast<int>(row) * columns + static_cast<int>(column)];
    column -= std::floor(column);
    row -= std::floor(row);
    while (node->count == kSplitNode) {
        column *= 2;
        row *= 2;
        const int right = column >= 1.0;
        const int upper = row >= 1.0;
        column -= right;
        row -= upper;
        node = &nodes[node->first + right + 2 * upper];
    }
    return node;
}

SiteCandidates computeSiteCandidates(const Site* head, int radius, int threads) {
    SiteCandidates grid;
    if (!head || radius <= 0) {
        return grid;
    }
    threads = std::max(threads, 1);
    const std::vector<SitePoint> points = collectSites(head);
    placeGrid(grid, points, radius);
    Buckets buckets = bucketSites(grid, points, threads);
    findNearestOccupied(grid, buckets);

    const int cells = grid.columns * grid.rows;
    std::vector<CandidateNode> roots(cells);
    std::vector<unsigned char> rootThread(cells);
    std::vector<CellWorker> workers(threads, CellWorker(grid, buckets, radius));
    std::atomic<int> nextRow{0};
    onThreads(threads, [&](int thread) {
        for (int row = nextRow++; row < grid.rows; row = nextRow++) {
            for (int column = 0; column < grid.columns; ++column) {
                roots[row * grid.columns + column] = workers[thread].cell(column, row);
                rootThread[row * grid.columns + column] = static_cast<unsigned char>(thread);
            }
        }
    });

    // One node array: the cells first, then each thread's quarters.
    std::vector<std::uint32_t> nodeBase(threads), candidateBase(threads);
    std::size_t nodeCount = cells, candidateCount = 0;
    for (int thread = 0; thread < threads; ++thread) {
        nodeBase[thread] = static_cast<std::uint32_t>(nodeCount);
        candidateBase[thread] = static_cast<std::uint32_t>(candidateCount);
        nodeCount += workers[thread].nodes.size();
        candidateCount += workers[thread].candidates.size();
    }
    const auto rebased = [&](CandidateNode node, int thread) {
        node.first += node.count == kSplitNode ? nodeBase[thread] : candidateBase[thread];
        return node;
    };
    grid.nodes.reserve(nodeCount);
    for (int cell = 0; cell < cells; ++cell) {
        grid.nodes.push_back(rebased(roots[cell], rootThread[cell]));
    }
    grid.candidates.reserve(candidateCount);
    for (int thread = 0; thread < threads; ++thread) {
        for (const CandidateNode& node : workers[thread].nodes) {
            grid.nodes.push_back(rebased(node, thread));
        }
        grid.candidates.insert(grid.candidates.end(), workers[thread].candidates.begin(),
                               workers[thread].candidates.end());
    }
    std::vector<std::uint32_t> facetsOf(buckets.sites.size(), 0);
    for (const CellWorker& worker : workers) {
        for (const RimSite& rim : worker.rimFacets) {
            facetsOf[rim.site] |= rim.facets;
        }
    }
    for (std::size_t index = 0; index < facetsOf.size(); ++index) {
        if (facetsOf[index] != 0) {
            grid.rimSites.push_back({static_cast<std::uint32_t>(index), facetsOf[index]});
        }
    }
    grid.sites.reserve(buckets.sites.size());
    for (const SitePoint& site : buckets.sites) {
        grid.sites.push_back(
            {static_cast<float>(site.x), static_cast<float>(site.y), site.colour, 0});
    }
    return grid;
}
