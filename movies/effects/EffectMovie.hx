import flash.display.Bitmap;
import flash.display.BitmapData;
import flash.display.DisplayObject;
import flash.display.Loader;
import flash.display.Sprite;
import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.net.URLLoader;
import flash.net.URLLoaderDataFormat;
import flash.net.URLRequest;
import flash.utils.ByteArray;

/**
	A slide show of the images named in "swfpara.txt" beside the movie: one line in code page
	932, "interface2=" then the time per image in milliseconds, "#", the image count and
	"#name" for each image. Shows the images in order, each for that time, and loops.
	Subclasses choose the transition from one image to the next.

	While an image is simply shown nothing on the stage changes, so the stage then runs at a
	resting frame rate and at the movie's own rate only while a transition moves: a still
	picture then costs the PC almost nothing. The change to the next image is timed apart from
	the frames.
**/
class EffectMovie extends Sprite {
	public static inline var Width = 1016;
	public static inline var Height = 677;

	var names:Array<String> = [];
	var milliseconds = 3000;
	var next = 0;
	var current:DisplayObject;
	var startedAt = 0.0;
	var nextChange:haxe.Timer;
	var framesShown = 0;
	var movingFrameRate = 0.0;
	static inline var RestingFrameRate = 1.0;
	// Each picture is decoded once and shown again from here: a show runs for months, and a
	// picture loaded anew at every turn is memory the web player never gives back.
	var pictures = new Map<String, BitmapData>();

	public function new() {
		super();
		// No backdrop of its own: the stage is black already, and a full-stage fill would be
		// drawn again at every frame of a transition.
		var parameters = new URLLoader();
		parameters.dataFormat = URLLoaderDataFormat.BINARY;
		parameters.addEventListener(Event.COMPLETE, function(_) {
			read(cast(parameters.data, ByteArray));
			showNext();
		});
		parameters.addEventListener(IOErrorEvent.IO_ERROR, function(_) {});
		parameters.load(new URLRequest("swfpara.txt"));
		addEventListener(Event.ENTER_FRAME, function(_) tick());
	}

	function read(bytes:ByteArray) {
		var text = Cp932.decode(bytes);
		var prefix = "interface2=";
		if (text.indexOf(prefix) == 0)
			text = text.substr(prefix.length);
		var fields = text.split("#");
		var time = Std.parseInt(fields[0]);
		if (time != null && time > 0)
			milliseconds = time;
		names = [for (name in fields.slice(2)) if (name.length > 0) name];
	}

	function tick() {
		if (current == null)
			return;
		++framesShown;
		step(Math.min(1, (flash.Lib.getTimer() - startedAt) / milliseconds));
		if (!moving())
			setFrameRate(RestingFrameRate);
	}

	function setFrameRate(rate:Float) {
		if (stage == null)
			return;
		if (movingFrameRate == 0)
			movingFrameRate = stage.frameRate;
		if (stage.frameRate == rate)
			return;
		stage.frameRate = rate;
		tellHostResting(rate == RestingFrameRate);
	}

	// The host page may then wake the web player less often as well.
	static function tellHostResting(resting:Bool) {
		try {
			if (flash.external.ExternalInterface.available)
				flash.external.ExternalInterface.call("lumaretResting", resting);
		} catch (e:Dynamic) {}
	}

	function showNext() {
		if (names.length == 0)
			return;
		var name = names[next];
		next = (next + 1) % names.length;
		var decoded = pictures.get(name);
		if (decoded != null) {
			show(new Bitmap(decoded));
			return;
		}
		var image = new Loader();
		image.contentLoaderInfo.addEventListener(Event.INIT, function(_) {
			var content = image.content;
			if (Std.isOfType(content, Bitmap)) {
				var picture = cast(content, Bitmap).bitmapData;
				pictures.set(name, picture);
				show(new Bitmap(picture));
			} else {
				show(image);
			}
		});
		image.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(_) haxe.Timer.delay(showNext, milliseconds));
		image.load(new URLRequest(name));
	}

	function show(image:DisplayObject) {
		if (Std.isOfType(image, Bitmap))
			cast(image, Bitmap).smoothing = true;
		image.width = Width;
		image.height = Height;
		var previous = current;
		current = image;
		startedAt = flash.Lib.getTimer();
		framesShown = 0;
		addChild(image);
		enter(image, previous);
		if (moving())
			setFrameRate(movingFrameRate == 0 ? stage.frameRate : movingFrameRate);
		if (nextChange != null)
			nextChange.stop();
		nextChange = haxe.Timer.delay(showNext, milliseconds);
	}

	// Called when an image is shown; `previous` is the image before it, or null.
	function enter(image:DisplayObject, previous:DisplayObject) {
		if (previous != null)
			removeChild(previous);
	}

	// Called every frame with the share of the image's time that has passed (at most 1).
	function step(progress:Float) {}

	// Whether a transition is under way: the stage then runs at the movie's own frame rate.
	// A new image gets a few frames at that rate too, so it is drawn at once.
	function moving():Bool {
		return framesShown < 2;
	}
}
