// One frame of the display tree: the root's update and draw over 2,005 instances four levels deep
// (5 scenes of 8 groups of 7 cells of 6 pictures), every movie playing a 30 fps timeline whose
// children are tweened between their keys, every picture handing its world matrix to a recording
// sink as a renderer would. The anchor is a flat loop over the same 2,005 nodes doing the same
// matrix products (each node's local matrix times its parent's world matrix) into the same sink:
// what any walk of such a tree has to do at least. Goal: at most 1 ms a frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/FastestRunReporter.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"

namespace
{

using namespace TarnEngine;

struct Recorded
{
    Matrix3 matrix;
    float alpha;
};
std::vector<Recorded> g_sink;

// A picture as the timeline makes it: drawing records its world matrix and opacity.
class BenchPicture : public Instance_Base, public IImageInstanceSetup
{
    TARN_RCLASS(BenchPicture)
public:
    void Initialize(const std::wstring& instanceName) override
    {
        Instance_Base::Initialize(instanceName);
        type = INSTANCE_IMAGE;
        extentRect = {0, 0, 16, 16};
        useExtentRect = true;
    }
    void SetImage(const RefPtr<IResourceTexture>&, uint32_t, uint32_t, const Matrix3&, const float (&)[4]) override {}
    void SetHitTest(uint32_t, uint32_t) override {}
    IImageSource* AttachVideo(const std::wstring&, const std::wstring&) override { return nullptr; }
    void Draw(const Matrix3& parentMatrix, float parentAlpha) override
    {
        if (visible)
            g_sink.push_back({Matrix3::Multiply(GetLocalMatrix(), parentMatrix), opacity * parentAlpha});
    }
};
TARN_IMPLEMENT_RCLASS(BenchPicture, Instance_Base, RObjectFactory<BenchPicture>)

// A movie of 30 frames at 30 fps whose entries of `child` are tweened across the whole timeline.
std::string movieDefinition(const std::string& name, const std::string& child, int count, float spread)
{
    std::ostringstream out;
    out << "<Definition type=\"movie\" name=\"" << name << "\" length=\"30\" fps=\"30\">";
    for (int i = 0; i < count; ++i)
    {
        out << "<Instance type=\"library\" instancename=\"" << child << i << "\" definition=\"" << child
            << "\" depth=\"" << i << "\" create=\"0\" death=\"30\" regx=\"0\" regy=\"0\">";
        // Three key runs of ten frames each, tweened: out, further out, back.
        const float x = spread * float(i % 4), y = spread * float(i / 4);
        out << "<Frame length=\"10\" transform=\"1,0,0,1," << x << "," << y << "\" alpha=\"100\" isTween=\"1\"/>"
            << "<Frame length=\"10\" transform=\"0.9,0.1,-0.1,0.9," << x + 5 << "," << y + 3
            << "\" alpha=\"80\" isTween=\"1\"/>"
            << "<Frame length=\"10\" transform=\"1,0,0,1," << x << "," << y << "\" alpha=\"100\" isTween=\"1\"/>"
            << "</Instance>";
    }
    out << "</Definition>";
    return out.str();
}

struct World
{
    World()
    {
        RClass::GetRegistry().names["Instance_Image"] = BenchPicture::StaticClass();
        ui = std::make_unique<UserInterface>();
        ui->Init();
        const std::string file = "<D><Definition type=\"image\" name=\"picture\" src=\"picture.png\"/>" +
                                 movieDefinition("cell", "picture", 6, 18.0f) +
                                 movieDefinition("group", "cell", 7, 40.0f) +
                                 movieDefinition("scene", "group", 8, 90.0f) + "</D>";
        std::unique_ptr<XmlNode> document =
            ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size(), false);
        uint32_t added = 0, appended = 0;
        if (!document || !LoadDefinitionFile(*document, *ui->GetDefinitionMap(), added, appended))
            std::fprintf(stderr, "the definitions did not load\n");
        Instance_Movie* root = ui->GetRoot();
        for (int s = 0; s < 5; ++s)
        {
            Instance_Base* made = nullptr;
            Instance_Movie::CreateInstanceCore(root, L"scene", L"scene" + std::to_wstring(s), true, nullptr, &made);
            if (auto* scene = RObjectCast<Instance_Movie>(made))
            {
                scene->SetPosition(float(s % 3) * 300.0f, float(s / 3) * 350.0f);
                scene->SetPlayingRecursive(true);
            }
        }
        root->Update(1.0f / 60.0f); // the load events of the new tree
        flatten(root, -1);
        g_sink.reserve(4096);
    }

    // The anchor's copy of the tree: local matrices and parent positions, parents first.
    void flatten(Instance_Base* node, int parentIndex)
    {
        const int index = int(locals.size());
        locals.push_back(node->GetLocalMatrix());
        parents.push_back(parentIndex);
        alphas.push_back(node->opacity);
        leaf.push_back(node->type != INSTANCE_MOVIE);
        if (auto* movie = RObjectCast<Instance_Movie>(node))
            for (Instance_Base* child : movie->drawOrder)
                flatten(child, index);
    }

    std::unique_ptr<UserInterface> ui;
    std::vector<Matrix3> locals;
    std::vector<int> parents;
    std::vector<float> alphas;
    std::vector<bool> leaf;
};

World& world()
{
    static World w;
    return w;
}

void treeFrame(benchmark::State& state)
{
    World& w = world();
    Instance_Movie* root = w.ui->GetRoot();
    size_t drawn = 0;
    for (auto _ : state)
    {
        g_sink.clear();
        root->Update(1.0f / 60.0f);
        root->Draw(Matrix3{}, 1.0f);
        drawn += g_sink.size();
    }
    benchmark::DoNotOptimize(drawn);
    state.counters["instances"] = double(w.locals.size() - 1);
    state.counters["pictures"] = double(g_sink.size());
}

void flatProducts(benchmark::State& state)
{
    World& w = world();
    std::vector<Matrix3> worlds(w.locals.size());
    std::vector<float> alpha(w.locals.size());
    size_t drawn = 0;
    for (auto _ : state)
    {
        g_sink.clear();
        for (size_t i = 0; i < w.locals.size(); ++i)
        {
            const int up = w.parents[i];
            worlds[i] = up < 0 ? w.locals[i] : Matrix3::Multiply(w.locals[i], worlds[size_t(up)]);
            alpha[i] = up < 0 ? w.alphas[i] : w.alphas[i] * alpha[size_t(up)];
            if (w.leaf[i])
                g_sink.push_back({worlds[i], alpha[i]});
        }
        drawn += g_sink.size();
    }
    benchmark::DoNotOptimize(drawn);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("movie/update_and_draw", treeFrame)->Repetitions(5)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("movie/flat_products", flatProducts)->Repetitions(5)->Unit(benchmark::kMicrosecond);
    int count = argc;
    benchmark::Initialize(&count, argv);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto own = reporter.nanoseconds.find("movie/update_and_draw");
    const auto anchor = reporter.nanoseconds.find("movie/flat_products");
    if (own != reporter.nanoseconds.end() && anchor != reporter.nanoseconds.end())
        std::printf("update and draw of the tree: %.3f ms a frame (goal <= 1 ms); against the flat matrix "
                    "products of the same nodes: %.1fx\n",
                    own->second / 1e3, own->second / anchor->second);
    return 0;
}
