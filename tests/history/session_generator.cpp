#include "session_generator.h"

std::string SessionGenerator::Record() {
  const int kind = Pick(0, 99);
  const std::string n = std::to_string(Pick(0, 60));
  if (kind < 2) {
    return "{scratch}+{clr}+";
  }
  if (kind < 5) {
    return "{scratch}+{title}HEAT " + n + "{time}1:0" + std::to_string(Pick(0, 9)) + "{spd}45.1";
  }
  if (kind < 25) {
    return "{scratch}+{list}" + std::to_string(Pick(-1, 52)) + "{rank}" + n + "{bib}" + n +
           "{name}" + Name() + "{nat}GER{status}{laps}" + std::to_string(Pick(0, 40));
  }
  if (kind < 27) {
    return "{ptsrace}+{clr}+";
  }
  if (kind < 42) {
    return "{ptsrace}+{standings}" + std::to_string(Pick(-1, 60)) + "{rnk}" + n + "{bib}" + n +
           "{name}" + Name() + "{status}{pts}" + std::to_string(Pick(0, 30)) + "{laps}0{vics}1";
  }
  if (kind < 47) {
    return "{ptsrace}+{sprint}" + std::to_string(Pick(-1, 31)) + "{sname}SPRINT " + n + "{name1}" +
           Name() + "{pts1}5{name2}" + Name() + "{pts2}3{name3}" + Name() + "{pts3}2{standings}" +
           std::to_string(Pick(0, 10)) + "{rnk}1{name}" + Name() + "{pts}9";
  }
  if (kind < 52) {
    return "{sprintf}+{title}SPRINT HEAT " + n + "{rnk1}1{r1}" + Name() + "{rnk2}2{r2}" + Name() +
           "{et}10." + n + "{spdk}70.1";
  }
  if (kind < 55) {
    return "{qdtype}+{data}" + Name() + ",LINE " + n + ",,NEXT,";
  }
  if (kind < 57) {
    return Pick(0, 1) == 0 ? "{tt}+{clr}+" : "{tt}+{clr_racers}+";
  }
  if (kind < 67) {
    return "{tt}+{standings}" + std::to_string(Pick(-1, 100)) + "{rnk}" + n + "{name}" + Name() +
           "{score}1:0" + n + "{dif}+0." + n;
  }
  if (kind < 82) {
    return "{tt}+{tick-hit}{crs}" + std::to_string(Pick(0, 1)) + "{stack}" +
           std::to_string(Pick(0, 1)) + "{name}" + Name() + "{time}1:0" + n + "{diff}+0.1{rank}" +
           n + "{spdk}55{ltg}" + n + "{dist}" + n + "{ltg1}" + n + "{ltg" +
           std::to_string(Pick(1, 16)) + "}" + n;
  }
  if (kind < 90) {
    return "{tt}+{audit}{crs}" + std::to_string(Pick(0, 1)) + "{stack}0{n1}1:0" + n + "{d1}+0." +
           n + "{n" + std::to_string(Pick(1, 16)) + "}2:" + n;
  }
  if (kind < 93) {
    return "{scratch}+{ptsrace}+{tt}+{standings}" + n + "{list}" + n + "{name}" + Name();
  }
  if (kind < 96) {
    return "{heartbeat}+";
  }
  // Junk: what a broken or hostile sender might put in a datagram.
  std::string junk;
  for (int i = Pick(0, 40); i > 0; --i) {
    junk.push_back(static_cast<char>(Pick(0, 255)));
  }
  return Pick(0, 1) == 0 ? junk : "{" + junk;
}

GeneratedDatagram SessionGenerator::Next() {
  GeneratedDatagram datagram;
  datagram.bytes = Record();
  if (Pick(0, 9) == 0) {
    datagram.bytes.append(1, '\0').append("after the zero");
  }
  datagram.accepted = Pick(0, 19) != 0;
  datagram.sender = datagram.accepted ? "127.0.0.1" : "10.0.0." + std::to_string(Pick(1, 9));
  datagram.receiver = Pick(0, 1);
  time_ms_ += Pick(0, 200);
  datagram.time_ms = time_ms_;
  return datagram;
}
