import flash.display.DisplayObject;

/** Each image slides in from the right over the one before it during the first third of its time. **/
class Slide extends EffectMovie {
	var leaving:DisplayObject;

	static function main() {
		flash.Lib.current.addChild(new Slide());
	}

	override function enter(image:DisplayObject, previous:DisplayObject) {
		if (leaving != null && leaving != previous && leaving.parent != null)
			removeChild(leaving);
		leaving = previous;
		image.x = previous == null ? 0 : EffectMovie.Width;
	}

	override function step(progress:Float) {
		var slide = Math.min(1, progress * 3);
		var eased = 1 - (1 - slide) * (1 - slide);
		current.x = leaving == null ? 0 : Math.round(EffectMovie.Width * (1 - eased));
		if (slide >= 1 && leaving != null) {
			if (leaving.parent != null)
				removeChild(leaving);
			leaving = null;
		}
	}

	override function moving():Bool {
		return leaving != null || super.moving();
	}
}
