#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>

#include "importers/MusicXmlParts.h"

namespace importers::musicxml {

namespace {

constexpr int kSemitoneOfStep[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G

QString Text(QXmlStreamReader& xml) {
  return xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
}

int LeadingNumber(const QString& text, int fallback) {
  int digits = 0;
  while (digits < text.size() && digits < 6 && text[digits].isDigit()) ++digits;
  return digits == 0 ? fallback : text.left(digits).toInt();
}

// One <part>'s measures, read in order, the time of each event kept in beats.
class CPartReader {
 public:
  CPartReader(QXmlStreamReader& xml, XmlPart& part, size_t& notes)
      : xml_(xml), part_(part), notes_(notes) {}

  void Read() {
    while (xml_.readNextStartElement()) {
      if (xml_.name() == u"measure")
        ReadMeasure();
      else
        xml_.skipCurrentElement();
    }
  }

 private:
  void ReadMeasure() {
    XmlMeasure measure;
    measure.number = LeadingNumber(xml_.attributes().value("number").toString(),
                                   static_cast<int>(part_.measures.size()) + 1);
    measure.implicit = xml_.attributes().value("implicit") == u"yes";
    measure.endings = ending_;
    position_ = 0.0;
    chordStart_ = 0.0;
    while (xml_.readNextStartElement()) {
      const auto name = xml_.name();
      if (name == u"note") {
        ReadNote(measure);
      } else if (name == u"backup" || name == u"forward") {
        const bool back = name == u"backup";
        double beats = 0.0;
        while (xml_.readNextStartElement()) {
          if (xml_.name() == u"duration")
            beats = Beats(Text(xml_));
          else
            xml_.skipCurrentElement();
        }
        position_ = std::max(0.0, position_ + (back ? -beats : beats));
        measure.length = std::max(measure.length, position_);
      } else if (name == u"attributes") {
        ReadAttributes(measure);
      } else if (name == u"direction") {
        ReadDirection(measure);
      } else if (name == u"sound") {
        ReadSound(measure);
      } else if (name == u"barline") {
        ReadBarline(measure);
      } else {
        xml_.skipCurrentElement();
      }
    }
    if (measure.length > kMaxMeasureBeats) {
      measure.losses.push_back("a measure longer than " + std::to_string(int(kMaxMeasureBeats)) +
                               " beats cut short");
      measure.length = kMaxMeasureBeats;
    }
    part_.measures.push_back(std::move(measure));
    if (endingEnds_) ending_.clear(), endingEnds_ = false;
  }

  double Beats(const QString& divisions) const {
    const double beats = divisions.toDouble() / divisions_;
    return std::isfinite(beats) ? std::clamp(beats, 0.0, kMaxMeasureBeats) : 0.0;
  }

  void ReadAttributes(XmlMeasure& measure) {
    while (xml_.readNextStartElement()) {
      const auto name = xml_.name();
      if (name == u"divisions") {
        const double divisions = Text(xml_).toDouble();
        if (divisions > 0 && std::isfinite(divisions)) divisions_ = divisions;
      } else if (name == u"key") {
        while (xml_.readNextStartElement()) {
          if (xml_.name() == u"fifths") {
            measure.hasKey = true;
            measure.fifths = std::clamp(Text(xml_).toInt(), -7, 7);
          } else {
            xml_.skipCurrentElement();
          }
        }
      } else if (name == u"time") {
        while (xml_.readNextStartElement()) {
          if (xml_.name() == u"beats") {
            int beats = 0;  // "3+2" is five
            for (const QString& term : Text(xml_).split('+')) beats += LeadingNumber(term, 0);
            measure.meterBeats = std::clamp(beats, 0, 64);
          } else if (xml_.name() == u"beat-type") {
            measure.meterUnit = std::clamp(LeadingNumber(Text(xml_), 0), 0, 64);
          } else {
            xml_.skipCurrentElement();
          }
        }
      } else {
        xml_.skipCurrentElement();
      }
    }
  }

  // A tempo as <sound tempo> or a metronome mark; the sound's figure wins where both stand.
  void ReadDirection(XmlMeasure& measure) {
    double metronome = 0.0;
    while (xml_.readNextStartElement()) {
      if (xml_.name() == u"direction-type") {
        while (xml_.readNextStartElement()) {
          if (xml_.name() == u"metronome")
            metronome = ReadMetronome();
          else
            xml_.skipCurrentElement();
        }
      } else if (xml_.name() == u"sound") {
        if (ReadSound(measure)) metronome = 0.0;
      } else {
        xml_.skipCurrentElement();
      }
    }
    if (metronome > 0.0) measure.tempos.push_back({position_, metronome});
  }

  double ReadMetronome() {
    static const std::pair<const char16_t*, double> kUnits[] = {
        {u"whole", 4.0}, {u"half", 2.0}, {u"quarter", 1.0}, {u"eighth", 0.5}, {u"16th", 0.25}};
    double unit = 0.0;
    double perMinute = 0.0;
    while (xml_.readNextStartElement()) {
      if (xml_.name() == u"beat-unit") {
        const QString name = Text(xml_);
        for (const auto& [label, beats] : kUnits)
          if (name == QStringView(label)) unit = beats;
      } else if (xml_.name() == u"beat-unit-dot") {
        unit *= 1.5;
        xml_.skipCurrentElement();
      } else if (xml_.name() == u"per-minute") {
        perMinute = LeadingNumber(Text(xml_), 0);
      } else {
        xml_.skipCurrentElement();
      }
    }
    return unit * perMinute;
  }

  bool ReadSound(XmlMeasure& measure) {
    const QString tempo = xml_.attributes().value("tempo").toString();
    xml_.skipCurrentElement();
    const double quarters = tempo.toDouble();
    if (tempo.isEmpty() || !(quarters > 0.0) || !std::isfinite(quarters)) return false;
    measure.tempos.push_back({position_, quarters});
    return true;
  }

  void ReadBarline(XmlMeasure& measure) {
    while (xml_.readNextStartElement()) {
      const auto attributes = xml_.attributes();
      if (xml_.name() == u"repeat") {
        if (attributes.value("direction") == u"forward") {
          measure.repeatForward = true;
        } else {
          const int times = LeadingNumber(attributes.value("times").toString(), 2);
          measure.repeatBackward = std::clamp(times, 1, kMaxRepeatTimes);
        }
      } else if (xml_.name() == u"ending") {
        const auto type = attributes.value("type");
        if (type == u"start") {
          ending_.clear();
          // Written "1, 2" or "1 2".
          const QString numbers = attributes.value("number").toString().replace(' ', ',');
          for (const QString& n : numbers.split(',', Qt::SkipEmptyParts))
            if (const int pass = LeadingNumber(n, 0); pass > 0 && pass <= kMaxRepeatTimes)
              ending_.push_back(pass);
          measure.endings = ending_;
        } else {
          endingEnds_ = true;
        }
      }
      xml_.skipCurrentElement();
    }
  }

  void ReadNote(XmlMeasure& measure) {
    XmlNote note;
    bool chord = false, grace = false, cue = false, rest = false, pitched = false;
    double beats = 0.0;
    int step = 0, octave = 4;
    double alter = 0.0;
    QString voice = "1";
    while (xml_.readNextStartElement()) {
      const auto name = xml_.name();
      if (name == u"chord") {
        chord = true, xml_.skipCurrentElement();
      } else if (name == u"grace") {
        grace = true, xml_.skipCurrentElement();
      } else if (name == u"cue") {
        cue = true, xml_.skipCurrentElement();
      } else if (name == u"rest") {
        rest = true, xml_.skipCurrentElement();
      } else if (name == u"pitch") {
        pitched = true;
        while (xml_.readNextStartElement()) {
          const QString value = Text(xml_);
          if (xml_.name() == u"step" && value.size() == 1 && value[0] >= 'A' && value[0] <= 'G')
            step = kSemitoneOfStep[value[0].unicode() - 'A'];
          else if (xml_.name() == u"alter")
            alter = std::clamp(value.toDouble(), -3.0, 3.0);
          else if (xml_.name() == u"octave")
            octave = std::clamp(value.toInt(), 0, 9);
        }
      } else if (name == u"duration") {
        beats = Beats(Text(xml_));
      } else if (name == u"voice") {
        voice = Text(xml_);
      } else if (name == u"tie") {
        ReadTie(note);
      } else if (name == u"notations") {
        ReadNotations(note);
      } else if (name == u"lyric") {
        ReadLyric(note);
      } else {
        xml_.skipCurrentElement();
      }
    }
    if (grace) {
      measure.losses.push_back("a grace note left out");
      return;
    }
    if (cue) return;
    const double start = chord ? chordStart_ : position_;
    if (!chord) position_ = std::min(position_ + beats, kMaxMeasureBeats);
    chordStart_ = start;
    measure.length = std::max(measure.length, position_);
    if (!pitched && !rest) {
      measure.losses.push_back("an unpitched note left out");
      return;
    }
    if (notes_ >= kMaxNotes) return;
    ++notes_;
    note.start = start;
    note.length = beats;
    if (pitched) note.key = std::clamp(12 * (octave + 1) + step + int(std::lround(alter)), 0, 127);
    auto found = std::find(part_.voiceNames.begin(), part_.voiceNames.end(), voice.toStdString());
    if (found == part_.voiceNames.end())
      found = part_.voiceNames.insert(found, voice.toStdString());
    note.voice = static_cast<int>(found - part_.voiceNames.begin());
    measure.notes.push_back(std::move(note));
  }

  void ReadTie(XmlNote& note) {
    const auto type = xml_.attributes().value("type");
    note.tieStart |= type == u"start" || type == u"continue";
    note.tieStop |= type == u"stop" || type == u"continue";
    xml_.skipCurrentElement();
  }

  void ReadNotations(XmlNote& note) {
    while (xml_.readNextStartElement()) {
      const auto name = xml_.name();
      if (name == u"tied") {
        ReadTie(note);
      } else if (name == u"fermata") {
        note.phraseEnd = true;
        xml_.skipCurrentElement();
      } else if (name == u"articulations") {
        while (xml_.readNextStartElement()) {
          if (xml_.name() == u"breath-mark" || xml_.name() == u"caesura") note.phraseEnd = true;
          xml_.skipCurrentElement();
        }
      } else {
        xml_.skipCurrentElement();
      }
    }
  }

  // A verse's syllable: its texts (elided ones joined by an undertie), whether the word goes
  // on, and whether it is held over the following notes.
  void ReadLyric(XmlNote& note) {
    const int verse = LeadingNumber(xml_.attributes().value("number").toString(), 1);
    Syllable syllable;
    QString text;
    while (xml_.readNextStartElement()) {
      const auto name = xml_.name();
      if (name == u"text") {
        text += Text(xml_);
      } else if (name == u"elision") {
        text += QChar(0x203F);
        xml_.skipCurrentElement();
      } else if (name == u"syllabic") {
        const QString value = Text(xml_);
        syllable.hyphen = value == u"begin" || value == u"middle";
      } else if (name == u"extend") {
        syllable.extend = xml_.attributes().value("type") != u"stop" || text.isEmpty();
        xml_.skipCurrentElement();
      } else {
        xml_.skipCurrentElement();
      }
    }
    syllable.text = text.toStdString();
    if ((!syllable.text.empty() || syllable.extend) && verse > 0 && verse <= 99)
      note.lyrics.emplace(verse, std::move(syllable));
  }

  QXmlStreamReader& xml_;
  XmlPart& part_;
  size_t& notes_;
  double divisions_ = 1.0;
  double position_ = 0.0;
  double chordStart_ = 0.0;
  std::vector<int> ending_;
  bool endingEnds_ = false;
};

void ReadPartList(QXmlStreamReader& xml, XmlScore& score) {
  while (xml.readNextStartElement()) {
    if (xml.name() != u"score-part") {
      xml.skipCurrentElement();
      continue;
    }
    XmlPart part;
    part.id = xml.attributes().value("id").toString().toStdString();
    while (xml.readNextStartElement()) {
      if (xml.name() == u"part-name")
        part.name = Text(xml).toStdString();
      else
        xml.skipCurrentElement();
    }
    score.parts.push_back(std::move(part));
  }
}

}  // namespace

XmlScore ParseMusicXml(const std::string& bytes) {
  QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), static_cast<int>(bytes.size())));
  xml.setEntityExpansionLimit(0);
  XmlScore score;
  size_t notes = 0;
  bool root = false;
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty())
      throw ImportError("not read: the MusicXML file declares entities of its own");
    if (token == QXmlStreamReader::EntityReference)
      throw ImportError("not read: the MusicXML file uses an entity it does not define");
    if (token != QXmlStreamReader::StartElement) continue;
    if (xml.name() == u"score-timewise")
      throw ImportError("a timewise MusicXML score is not read: save it as partwise");
    if (xml.name() != u"score-partwise")
      throw ImportError("not a MusicXML score: its root element is <" +
                        xml.name().toString().toStdString() + ">");
    root = true;
    QString movement;
    while (xml.readNextStartElement()) {
      const auto name = xml.name();
      if (name == u"work") {
        while (xml.readNextStartElement()) {
          if (xml.name() == u"work-title")
            score.title = Text(xml).toStdString();
          else
            xml.skipCurrentElement();
        }
      } else if (name == u"movement-title") {
        movement = Text(xml);
      } else if (name == u"part-list") {
        ReadPartList(xml, score);
      } else if (name == u"part") {
        const std::string id = xml.attributes().value("id").toString().toStdString();
        auto part = std::find_if(score.parts.begin(), score.parts.end(),
                                 [&](const XmlPart& p) { return p.id == id; });
        if (part == score.parts.end()) {
          part = score.parts.insert(score.parts.end(), XmlPart());
          part->id = id;
        }
        CPartReader(xml, *part, notes).Read();
      } else {
        xml.skipCurrentElement();
      }
    }
    if (score.title.empty()) score.title = movement.toStdString();
    break;
  }
  if (xml.hasError())
    throw ImportError("a damaged MusicXML file: " + xml.errorString().toStdString() + " at line " +
                      std::to_string(xml.lineNumber()));
  if (!root) throw ImportError("not a MusicXML score: no <score-partwise> element");
  return score;
}

}  // namespace importers::musicxml
