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
**/
class EffectMovie extends Sprite {
	public static inline var Width = 1016;
	public static inline var Height = 677;

	var names:Array<String> = [];
	var milliseconds = 3000;
	var next = 0;
	var current:DisplayObject;
	var startedAt = 0.0;
	// Each picture is decoded once and shown again from here: a show runs for months, and a
	// picture loaded anew at every turn is memory the web player never gives back.
	var pictures = new Map<String, BitmapData>();

	public function new() {
		super();
		graphics.beginFill(0x000000);
		graphics.drawRect(0, 0, Width, Height);
		graphics.endFill();
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
		if (current != null)
			step((flash.Lib.getTimer() - startedAt) / milliseconds);
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
		addChild(image);
		enter(image, previous);
	}

	// Called when an image is shown; `previous` is the image before it, or null.
	function enter(image:DisplayObject, previous:DisplayObject) {
		if (previous != null)
			removeChild(previous);
	}

	// Called every frame with the share of the image's time that has passed.
	function step(progress:Float) {
		if (progress >= 1) {
			startedAt = flash.Lib.getTimer();
			showNext();
		}
	}
}
