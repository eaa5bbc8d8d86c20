#include "movie/SlideEffectMarker.h"

#include <QXmlStreamReader>

namespace platform::movie {

namespace {

const QString MarkerNamespace = QStringLiteral("urn:x-lumaret:slide-effect");
constexpr quint8 HasMetadata = 0x10; // in the file attributes' first byte

const struct
{
    SlideEffect effect;
    const char* name;
} Effects[] = {
    {SlideEffect::Placeholder, "placeholder"},
    {SlideEffect::None, "none"},
    {SlideEffect::Fade, "fade"},
    {SlideEffect::Slide, "slide"},
};

std::optional<SlideEffect> effectNamed(const QString& name)
{
    for (const auto& e : Effects)
        if (name == QLatin1String(e.name))
            return e.effect;
    return std::nullopt;
}

// The metadata document: RDF, as the format expects, with the marker in its own namespace.
QByteArray markerDocument(SlideEffect effect)
{
    return QStringLiteral("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                          "<rdf:Description rdf:about=\"\" xmlns:lumaret=\"%1\">"
                          "<lumaret:effect>%2</lumaret:effect>"
                          "<lumaret:version>%3</lumaret:version>"
                          "</rdf:Description></rdf:RDF>")
        .arg(MarkerNamespace, slideEffectName(effect))
        .arg(SlideEffectVersion)
        .toUtf8();
}

// The effect and version a metadata document names, when it carries the marker.
std::optional<SlideEffectMarker> markerIn(const QByteArray& document)
{
    QXmlStreamReader xml(document);
    QString effect;
    QString version;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.namespaceUri() != MarkerNamespace)
            continue;
        if (xml.name() == QLatin1String("effect"))
            effect = xml.readElementText();
        else if (xml.name() == QLatin1String("version"))
            version = xml.readElementText();
    }
    const auto named = effectNamed(effect.trimmed());
    bool ok = false;
    const int number = version.trimmed().toInt(&ok);
    if (!named || !ok || number < 1 || number > SlideEffectVersion)
        return std::nullopt;
    SlideEffectMarker marker;
    marker.effect = *named;
    marker.version = number;
    return marker;
}

} // namespace

QString slideEffectName(SlideEffect effect)
{
    for (const auto& e : Effects)
        if (e.effect == effect)
            return QString::fromLatin1(e.name);
    return {};
}

swf::SwfFile withSlideEffectMarker(swf::SwfFile movie, SlideEffect effect)
{
    using namespace swf;
    movie.tags.removeIf([](const Tag& tag) { return tag.code == Metadata; });
    if (movie.tags.isEmpty() || movie.tags.first().code != FileAttributes)
        movie.tags.prepend({FileAttributes, QByteArray(4, '\0')});
    Tag& attributes = movie.tags.first();
    attributes.body[0] = char(quint8(attributes.body[0]) | HasMetadata);
    movie.tags.insert(1, {Metadata, markerDocument(effect) + '\0'});
    return movie;
}

std::optional<SlideEffectMarker> knownSlideEffect(const QByteArray& head)
{
    const auto movie = swf::readSwfHead(head);
    if (!movie)
        return std::nullopt;
    for (const swf::Tag& tag : movie->tags) {
        if (tag.code == swf::ShowFrame)
            break; // the marker stands before the first frame
        if (tag.code != swf::Metadata)
            continue;
        auto marker = markerIn(tag.body.left(tag.body.indexOf('\0')));
        if (marker && movie->frameRate > 0)
            marker->framesPerSecond = movie->frameRate / 256.0;
        return marker;
    }
    return std::nullopt;
}

} // namespace platform::movie
