// Runs a fuzz target without libFuzzer: on every file of the seed corpus, then on a fixed
// number of inputs mutated from them with a seeded generator, so a compiler without libFuzzer
// still exercises the target in the test suite.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 2000;
    QList<QByteArray> seeds;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    for (const QString& name : dir.entryList(QDir::Files)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            seeds.append(f.readAll());
    }
    if (seeds.isEmpty())
        seeds.append(QByteArray());
    for (const QByteArray& s : seeds)
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.constData()), s.size());

    QRandomGenerator rng(20261208);
    for (int i = 0; i < runs; ++i) {
        QByteArray input = seeds[rng.bounded(static_cast<int>(seeds.size()))];
        const int edits = 1 + rng.bounded(8);
        for (int e = 0; e < edits; ++e) {
            const int pos = input.isEmpty() ? 0 : rng.bounded(static_cast<int>(input.size()));
            const char byte = static_cast<char>(rng.bounded(256));
            switch (rng.bounded(4)) {
            case 0:
                input.insert(pos, byte);
                break;
            case 1:
                if (!input.isEmpty())
                    input[pos] = byte;
                break;
            case 2:
                if (!input.isEmpty())
                    input.remove(pos, 1 + rng.bounded(4));
                break;
            default:
                input.insert(pos, "\r\n[]=\0"[rng.bounded(5)]);
                break;
            }
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()), input.size());
    }
    std::printf("%lld inputs ran clean\n", static_cast<long long>(seeds.size() + runs));
    return 0;
}
