import flash.display.DisplayObject;

/** Each image fades in over the one before it during the first third of its time. **/
class Fade extends EffectMovie {
	var leaving:DisplayObject;

	static function main() {
		flash.Lib.current.addChild(new Fade());
	}

	override function enter(image:DisplayObject, previous:DisplayObject) {
		if (leaving != null && leaving != previous && leaving.parent != null)
			removeChild(leaving);
		leaving = previous;
		image.alpha = previous == null ? 1 : 0;
	}

	override function step(progress:Float) {
		var fade = Math.min(1, progress * 3);
		current.alpha = leaving == null ? 1 : fade;
		if (fade >= 1 && leaving != null) {
			if (leaving.parent != null)
				removeChild(leaving);
			leaving = null;
		}
	}

	override function moving():Bool {
		return leaving != null || super.moving();
	}
}
