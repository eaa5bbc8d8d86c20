/**
	The code of the ActionScript 3 timeline test movie: make-movies puts its frames after it.
	It stops the main timeline on the last frame, as a timeline animation does.
**/
class Timeline {
	static function main() {
		var root = flash.Lib.current;
		untyped root.addFrameScript(root.totalFrames - 1, function() root.stop());
	}
}
